// Test helper: rewrites the "Addresses" section of the given file forever, alternating two
// books, until it is killed.
#include <windows.h>

#include <string>

#include "settings/SettingsFile.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  std::wstring file = argv[1];
  for (int round = 0;; ++round) {
    bool odd = round % 2 != 0;
    int total = odd ? 3000 : 2500;
    parvox::IniDocument::KeyValues book{{L"Total", std::to_wstring(total)}};
    for (int i = 1; i <= total; ++i) {
      book.emplace_back(L"Address[" + std::to_wstring(i) + L"]", (odd ? L"old" : L"new") + std::to_wstring(i));
    }
    parvox::ReplaceIniSection(L"Addresses", book, file);
  }
}
