// The messenger slot's reader thread and the window thread's side of its queue.
#include "receiving/MessengerSlotReceiver.h"

#include <chrono>
#include <optional>

#include "components/AnsiText.h"
#include "components/SystemErrorText.h"
#include "components/WaitSources.h"
#include "log/Log.h"
#include "network/MessengerDatagram.h"
#include "receiving/ReceivedText.h"

namespace parvox {
namespace {

constexpr wchar_t kSlotPath[] = L"\\\\.\\mailslot\\messngr";
// As long as the longest datagram the built-in sender writes: a longer one is refused to its
// writer, so a read never meets a datagram bigger than its buffer.
constexpr DWORD kMaxDatagram = static_cast<DWORD>(kMaxDatagramBytes);
// While this much waits for the window thread, the reader leaves the rest in the slot.
constexpr std::size_t kMaxQueuedBytes = 1 << 20;
// How long one turn may handle datagrams before the window answers its other messages again:
// by time, as one datagram may cost a pop-up window and another only a log line.
constexpr auto kTurn = std::chrono::milliseconds(4);
constexpr int kMaxFailuresInARow = 16;
// A read gives up after this long and the reader looks whether it must stop: the one-byte wake
// that Stop writes cannot always get in (another writer holding the slot without sharing it),
// and Stop must end anyway.
constexpr DWORD kReadTimeoutMs = 500;

}  // namespace

bool MessengerSlotReceiver::Start() {
  if (Running()) return true;
  slot_ = FileHandle(CreateMailslotW(kSlotPath, kMaxDatagram, kReadTimeoutMs, nullptr));
  DWORD error = GetLastError();  // before any other call can change it
  if (!Running()) {
    if (error == ERROR_ALREADY_EXISTS) {
      AppendLog(
          false,
          L"Messages sent to this computer cannot be shown here: another program already receives "
          L"them (the Messenger service, or Parvox running a second time).");
    } else {
      AppendLog(false,
                L"Messages sent to this computer cannot be shown here: " + SystemErrorText(error));
    }
    return false;
  }
  arrived_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!arrived_.Valid() || !AddWaitSource(arrived_.Get(), [this] { OnArrived(); })) {
    AppendLog(false, L"Messages sent to this computer cannot be shown here: " +
                         SystemErrorText(GetLastError()));
    arrived_.Reset();
    slot_.Reset(nullptr);
    return false;
  }
  stopping_ = false;
  readError_ = 0;
  reader_ = std::thread([this] { ReadUntilStopped(); });
  return true;
}

void MessengerSlotReceiver::Stop() {
  if (!Running()) return;
  RemoveWaitSource(arrived_.Get());
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
  }
  roomInQueue_.notify_all();
  // The reader sleeps in its read: one byte of our own wakes it at once to see that it must
  // stop; without it the read's timeout does, a moment later.
  FileHandle wake(CreateFileW(kSlotPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr));
  DWORD written = 0;
  if (wake.Valid()) WriteFile(wake.Get(), "", 1, &written, nullptr);
  if (reader_.joinable()) reader_.join();
  slot_.Reset(nullptr);
  arrived_.Reset();
  queue_.clear();
  queuedBytes_ = 0;
}

void MessengerSlotReceiver::ReadUntilStopped() {
  std::string buffer(kMaxDatagram, '\0');
  int failures = 0;
  for (;;) {
    {
      std::unique_lock<std::mutex> guard(lock_);
      roomInQueue_.wait(guard, [this] { return stopping_ || queuedBytes_ < kMaxQueuedBytes; });
      if (stopping_) return;
    }
    DWORD read = 0;
    BOOL ok = ReadFile(slot_.Get(), buffer.data(), kMaxDatagram, &read, nullptr);
    DWORD error = ok ? 0 : GetLastError();
    std::lock_guard<std::mutex> guard(lock_);
    if (stopping_) return;
    if (!ok && error == ERROR_SEM_TIMEOUT) continue;  // nothing arrived
    if (!ok) {
      // One bad datagram (Wine fails the read after one longer than the slot's limit) is
      // skipped; a slot that keeps failing is given up.
      if (++failures < kMaxFailuresInARow) continue;
      readError_ = error == 0 ? ERROR_GEN_FAILURE : error;
      SetEvent(arrived_.Get());
      return;
    }
    failures = 0;
    // The event stays set until the window thread empties the queue: once per batch is enough.
    if (queue_.empty()) SetEvent(arrived_.Get());
    queue_.emplace_back(buffer.data(), read);
    queuedBytes_ += read;
  }
}

void MessengerSlotReceiver::OnArrived() {
  for (auto end = std::chrono::steady_clock::now() + kTurn;;) {
    std::optional<std::string> datagram;
    DWORD error = 0;
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (queue_.empty()) {
        ResetEvent(arrived_.Get());
        error = readError_;
      } else {
        queuedBytes_ -= queue_.front().size();
        datagram = std::move(queue_.front());
        queue_.pop_front();
      }
    }
    if (!datagram) {
      if (error != 0) {
        Stop();
        AppendLog(false, L"Parvox stopped receiving messages: " + SystemErrorText(error));
      }
      return;
    }
    roomInQueue_.notify_one();
    DatagramFields fields = SplitMessengerDatagram(*datagram);
    inbox_.Receive(IncomingMessage{FromAnsi(fields.from), FromAnsi(fields.to),
                                   FromAnsi(fields.text), std::nullopt});
    // What is still queued keeps the event set, so the wait source brings the next turn.
    if (std::chrono::steady_clock::now() >= end) return;
  }
}

}  // namespace parvox
