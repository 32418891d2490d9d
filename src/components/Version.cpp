// Version texts.
#include "components/Version.h"

#include "components/NumericText.h"

namespace parvox {

std::wstring VersionText() {
  return L"v" + std::to_wstring(kVersionMajor) + L"." + ZeroPadded(kVersionMinor, 2);
}

std::wstring AppTitle() { return L"Parvox " + VersionText(); }

std::wstring AboutText() {
  return L"Program Version: " + std::to_wstring(kVersionMajor) + L"." +
         ZeroPadded(kVersionMinor, 2) + L"\r\nCompile Date: 6th December, 2004.";
}

}  // namespace parvox
