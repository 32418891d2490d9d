// The lock is a named mutex in the global namespace, named after the user's SID.
#include "identity/UserLock.h"

#include <windows.h>
// sddl.h needs the base types first.
#include <sddl.h>

#include <string>

namespace parvox {
namespace {

std::wstring UserSid() {
  HANDLE opened = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return std::wstring();
  EventHandle token(opened);
  alignas(TOKEN_USER) BYTE buffer[256];
  DWORD size = 0;
  wchar_t* text = nullptr;
  if (!GetTokenInformation(token.Get(), TokenUser, buffer, sizeof buffer, &size) ||
      !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
    return std::wstring();
  }
  std::wstring sid(text);
  LocalFree(text);
  return sid;
}

}  // namespace

UserLock::UserLock(const wchar_t* purpose) {
  static const std::wstring sid = UserSid();  // the process's user does not change
  // Without a SID, this session's namespace still serialises the programs of this logon.
  std::wstring name = sid.empty() ? std::wstring(L"Local\\Parvox ") + purpose
                                  : L"Global\\Parvox " + std::wstring(purpose) + L" " + sid;
  mutex_.Reset(CreateMutexW(nullptr, FALSE, name.c_str()));
  if (!mutex_.Valid()) return;
  // What it guards takes milliseconds; a holder that hangs must not hang the window too.
  DWORD waited = WaitForSingleObject(mutex_.Get(), 10000);
  held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

UserLock::~UserLock() {
  if (held_) ReleaseMutex(mutex_.Get());
}

}  // namespace parvox
