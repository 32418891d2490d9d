// A lock that every Parvox program of one Windows user shares, in any of their sessions (a
// scheduled task runs in another): for a read and a write of the registry that must not
// interleave, such as making the key once or writing a remembered key only where none is.
#pragma once

#include "components/UniqueHandle.h"

namespace parvox {

class UserLock {
 public:
  // `purpose` names what it guards ("signing key"); waits up to 10 s for another holder.
  explicit UserLock(const wchar_t* purpose);
  ~UserLock();
  UserLock(const UserLock&) = delete;
  UserLock& operator=(const UserLock&) = delete;

  // False when it could not be had in time: the caller must not write as if it held it.
  bool Held() const { return held_; }

 private:
  MutexHandle mutex_;
  bool held_ = false;
};

}  // namespace parvox
