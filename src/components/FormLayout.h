// Dialog layouts as data: every control with its kind, caption and place in twips.
#pragma once

namespace parvox {

enum class FormKind {
  kHeaderBand,   // white band behind a dialog's title
  kHeaderLabel,  // text on the white band
  kHeaderTitle,  // bold text on the white band
  kLabel,
  kImage,  // a 48 x 48 icon
  kFrame,
  kOption,  // bold option button
  kCheckBox,
  kTextBox,
  kReadOnlyText,  // multi-line, read-only, scrolls
  kButton,
  kDefaultButton,
  kRule,  // separator rule
};

struct FormControl {
  int id;
  const wchar_t* name;
  FormKind kind;
  const wchar_t* caption;
  int left, top, width, height;  // twips, relative to the client area
  const wchar_t* toolTip;        // nullptr: none
};

}  // namespace parvox
