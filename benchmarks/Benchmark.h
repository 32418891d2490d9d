// Shared pieces of the benchmarks: timing, a results table, generated books.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/MessagePump.h"

namespace parvox {
class MainWindow;
class SigningKey;
class UdpEndpoint;
}  // namespace parvox

namespace parvox::bench {

double Seconds(LARGE_INTEGER start);
LARGE_INTEGER Now();

struct Row {
  std::string name;
  double value;
  std::string unit;
  std::string comparedTo;  // empty, or the row this one is divided by
  double goal = 0;         // 0, or the most the value (or its ratio) may be
  bool goalOnRatio = false;
};

class Table {
 public:
  void Add(const std::string& name, double value, const std::string& unit,
           const std::string& comparedTo = "");
  // The value of `name`, or its ratio, should stay at or below `most`.
  void Goal(const std::string& name, double most, bool onRatio = false);
  double Value(const std::string& name) const;
  void Print() const;

 private:
  std::vector<Row> rows_;
};

// "Address Book.ini" bytes holding `entries` records (and a Settings section).
std::string GenerateBook(int entries);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::wstring NewTempFolder();
using test::PumpMessages;

// Pumps until `done` holds; false after `patienceSeconds`.
template <typename Done>
bool PumpUntil(Done done, double patienceSeconds = 30) {
  LARGE_INTEGER start = Now();
  while (!done()) {
    if (Seconds(start) > patienceSeconds) return false;
    PumpMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
  }
  return true;
}

// Runs `flood` on a thread of its own while this one pumps messages, then pumps half a second
// more so that what is still in the socket is read before anything is counted. The seconds from
// the flood's start until then.
double FloodAndSettle(const std::function<void()>& flood);

// A UDP port nothing listens on right now.
uint16_t FreePort();
// How often `part` occurs in `text`.
size_t Count(const std::wstring& text, const std::wstring& part);

// Ticks the first `rows` rows of the window's list, types `text` and clicks Send; the seconds
// until the send has logged its lines, and the longest the window meanwhile did not answer.
struct TimedSend {
  double seconds, longestMs;
};
TimedSend SendToEveryRow(MainWindow& window, int rows, const wchar_t* text);

// Asks a window for an answer from another thread over and over, as the system does to decide
// whether a window hangs, and keeps the longest wait.
class ResponsivenessWatch {
 public:
  explicit ResponsivenessWatch(HWND window);
  ResponsivenessWatch(const ResponsivenessWatch&) = delete;
  ResponsivenessWatch& operator=(const ResponsivenessWatch&) = delete;
  ~ResponsivenessWatch();
  // Stops asking. The window's thread (this one) keeps pumping until the last question is
  // answered: joining without it would wait out the question's time limit and count that.
  double StopAndTakeLongestMs();

 private:
  std::atomic<bool> stop_{false};
  std::atomic<bool> stopped_{false};
  std::atomic<double> longest_{0};
  std::thread thread_;
};

// What one measurement in a process of its own reports: its time and the working set after it.
struct ProcessFigures {
  double seconds = 0;
  double workingSetMegabytes = 0;
};
double WorkingSetMegabytes();

// Measurements made in a fresh process, as a user starts the program: `what` names one.
constexpr wchar_t kStartup[] = L"startup";  // the main window with the book in the folder
constexpr wchar_t kFloor[] = L"floor";      // the bare list view filled with 100000 rows
ProcessFigures MeasureInThisProcess(const std::wstring& what, const std::wstring& folder);
// The median of three runs, each in a child process started with --child `what` `folder`.
ProcessFigures MeasureInChildProcesses(const std::wstring& what, const std::wstring& folder);

// Plays the programs that answer a send: each signed message waiting at `peer` gets a signed
// receipt from user "peer" on `computer`, made with `key`.
void AnswerSignedMessages(UdpEndpoint& peer, const SigningKey& key, const std::string& computer);

void RunBookBenchmarks(Table& table);
void RunSendBenchmarks(Table& table);
void RunNetworkBenchmarks(Table& table);
void RunReceiveBenchmarks(Table& table);
void RunHostileNetworkBenchmarks(Table& table);
void RunSubnetFloodBenchmark(Table& table);
void RunSignatureFloodBenchmarks(Table& table);
void RunScriptBenchmarks(Table& table);
void RunAcknowledgementBenchmarks(Table& table);
// Needs the broker `scripts/dev.sh bench relay` starts; nothing without it.
void RunRelayBenchmarks(Table& table);

}  // namespace parvox::bench
