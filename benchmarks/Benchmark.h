// Shared pieces of the benchmarks: timing, a results table, generated books.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace parvox::bench {

double Seconds(LARGE_INTEGER start);
LARGE_INTEGER Now();

struct Row {
  std::string name;
  double value;
  std::string unit;
  std::string comparedTo;  // empty, or the row this one is divided by
};

class Table {
 public:
  void Add(const std::string& name, double value, const std::string& unit,
           const std::string& comparedTo = "");
  double Value(const std::string& name) const;
  void Print() const;

 private:
  std::vector<Row> rows_;
};

// "Address Book.ini" bytes holding `entries` records (and a Settings section).
std::string GenerateBook(int entries);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::wstring NewTempFolder();
void PumpMessages();

struct StartupFigures {
  double seconds = 0;
  double workingSetMegabytes = 0;
};
// Start-up of the main window with the book in `folder`, in this process.
StartupFigures MeasureStartup(const std::wstring& folder);
StartupFigures MeasureStartupInChildProcess(const std::wstring& folder);

void RunBookBenchmarks(Table& table);
void RunSendBenchmarks(Table& table);

}  // namespace parvox::bench
