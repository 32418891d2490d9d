// The entry editor: adds a new address-book entry or changes the selected one, then saves.
#pragma once

#include <string>
#include <utility>

#include "components/ControlSubclass.h"
#include "components/Form.h"

namespace parvox {

class AddressBookHost;

// What the editor opens on: the row to change (-1 adds a new entry) and the texts it shows.
struct EntryRequest {
  int row = -1;
  std::wstring address;
  std::wstring description;
};

class EntryEditor : public Form {
 public:
  enum ItemId : int {
    kLabHeaderBkg = 100,
    kImgLogoUser,
    kImgLogoDomain,
    kLabTitle,
    kLabBody,
    kMultiRule1,
    kFraEntryType,
    kOptUserOrMachine,
    kOptDomain,
    kLabUserOrMachine,
    kLabDomain,
    kFraDetails,
    kLabAddress,
    kTxtAddress,
    kLabStep1,
    kLabDescription,
    kTxtDescription,
    kLabel3,
    kMultiRule2,
    kCmdAddEntry,
    kCmdCancel,
  };

  EntryEditor(AddressBookHost& host, EntryRequest request)
      : host_(host), request_(std::move(request)) {}
  // Creates the dialog over `owner` and fills it from the request.
  bool Open(HWND owner);
  // The row being edited, or -1 in add mode.
  int EditedRow() const { return request_.row; }

 protected:
  void OnCommand(int id, int code) override;
  int DefaultButton() const override { return kCmdAddEntry; }

 private:
  void SelectType(int type);
  int SelectedType() const;
  void Accept();
  // The keystroke and paste rules of the two boxes.
  LRESULT TextBoxMessage(const ControlMessage& call);

  AddressBookHost& host_;
  EntryRequest request_;
};

// The row an edit works on: the selected row, else the focused one, else -1.
int RowToEdit(HWND list);
// Pasted text as a one-line box takes it: up to the first line break, and without "|" (a "|"
// inside a value would split the entry's record).
std::wstring PastableText(std::wstring text);

}  // namespace parvox
