// Version texts.
#include "app/Version.h"

#include "settings/NumericText.h"

namespace parvox {

std::wstring VersionText() {
  return L"v" + std::to_wstring(kVersionMajor) + L"." + ZeroPadded(kVersionMinor, 2);
}

std::wstring AppTitle() { return L"Parvox " + VersionText(); }

}  // namespace parvox
