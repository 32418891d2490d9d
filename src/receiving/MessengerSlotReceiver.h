// Receives the classic datagrams sent to this computer: owns the mailslot \\.\mailslot\messngr.
// A reader thread sleeps in a blocking read (Wine's mailslot handles do not read overlapped),
// waking twice a second to see whether it must stop, and queues what arrives; the window thread
// takes the queue in short turns through a wait source, so a flood cannot hold up the window.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "components/UniqueHandle.h"
#include "receiving/MessageInbox.h"

namespace parvox {

class MessengerSlotReceiver {
 public:
  explicit MessengerSlotReceiver(MessageInbox& inbox) : inbox_(inbox) {}
  ~MessengerSlotReceiver() { Stop(); }
  MessengerSlotReceiver(const MessengerSlotReceiver&) = delete;
  MessengerSlotReceiver& operator=(const MessengerSlotReceiver&) = delete;

  // Creates the slot and starts reading. False, with one line in the log, when the slot cannot
  // be had (another program, or another Parvox, already receives for this computer).
  bool Start();
  void Stop();
  bool Running() const { return slot_.Valid(); }

 private:
  void ReadUntilStopped();
  void OnArrived();

  MessageInbox& inbox_;
  FileHandle slot_{nullptr};
  EventHandle arrived_;  // set while the queue holds datagrams or the reader failed
  std::thread reader_;

  std::mutex lock_;  // guards what follows
  std::condition_variable roomInQueue_;
  std::deque<std::string> queue_;
  std::size_t queuedBytes_ = 0;
  bool stopping_ = false;
  DWORD readError_ = 0;
};

}  // namespace parvox
