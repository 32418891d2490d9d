// What the two send paths deliver, as a recipient sees it: the command lines of the stand-in NET
// command and the datagrams arriving at this machine's messenger mailslot.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace parvox::test {

// Points the stand-in NET command (built beside the test program) at `folder`, where it writes
// one file per start holding its whole command line.
class NetRecorder {
 public:
  explicit NetRecorder(const TempFolder& folder);
  ~NetRecorder();
  NetRecorder(const NetRecorder&) = delete;
  NetRecorder& operator=(const NetRecorder&) = delete;

  // The parameters of each recorded start, in the order the processes were created, once
  // `count` have arrived or `timeoutMs` has passed.
  std::vector<std::string> WaitFor(size_t count, DWORD timeoutMs = 15000);

 private:
  std::wstring folder_;
};

// The messenger mailslot of this machine, "\\.\mailslot\messngr", created by the test.
class MailslotReceiver {
 public:
  MailslotReceiver();
  ~MailslotReceiver();
  MailslotReceiver(const MailslotReceiver&) = delete;
  MailslotReceiver& operator=(const MailslotReceiver&) = delete;

  bool Valid() const { return slot_ != INVALID_HANDLE_VALUE; }
  // Datagrams waiting, without blocking.
  DWORD Waiting() const;
  // The next datagram; "<none>" when none arrives within two seconds.
  std::string Read();

 private:
  HANDLE slot_;
};

}  // namespace parvox::test
