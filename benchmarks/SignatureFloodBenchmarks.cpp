// Forged signatures: 10,000 well-formed datagrams whose signatures do not verify, from one source
// and from 1,000 (loopback addresses), against a running receiver. The signature checks are the
// costly part; the shared budget decides how many are made.
#include <winsock2.h>
#include <ws2tcpip.h>
// After the socket headers, which must come first.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Benchmark.h"
#include "app/MainWindow.h"
#include "identity/MessageSigning.h"
#include "log/Log.h"
#include "log/LogWindow.h"
#include "network/NetworkDatagram.h"
#include "network/UdpEndpoint.h"

namespace parvox::bench {
namespace {

constexpr int kForgeries = 10000;

double ThreadCpuMs(HANDLE thread) {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(thread, &created, &exited, &kernel, &user);
  auto ms = [](const FILETIME& t) {
    return static_cast<double>((uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime) / 10000.0;
  };
  return ms(kernel) + ms(user);
}

void Flood(Table& table, const std::wstring& folder, int sourceCount) {
  uint16_t port = 0;
  {
    UdpEndpoint probe;
    probe.Open(0);
    port = probe.Port();
  }
  WriteFileBytes(
      folder + L"Address Book.ini",
      "[Settings]\r\nNetwork Port=" + std::to_string(port) + "\r\nReceive Messages=1\r\n");
  auto window = std::make_unique<MainWindow>();
  window->Create(L"", folder + L"parvox.exe");
  PumpMessages();

  std::vector<SOCKET> sources;
  for (int i = 0; i < sourceCount; ++i) {
    SOCKET source = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = htonl(0x7F000002 + static_cast<uint32_t>(i));  // 127.0.0.2 onwards
    if (source == INVALID_SOCKET ||
        bind(source, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
      if (source != INVALID_SOCKET) closesocket(source);
      break;
    }
    sources.push_back(source);
  }
  const std::string label = std::to_string(kForgeries) + " bad signatures from " +
                            std::to_string(sourceCount) +
                            (sourceCount == 1 ? " source" : " sources");
  if (sources.size() < static_cast<size_t>(sourceCount)) {
    table.Add(label + ": the source addresses could not be had", -1, "");
  } else {
    // Well formed and each different, so that only the signature check can refuse them.
    std::unique_ptr<SigningKey> key = SigningKey::Generate();
    std::vector<std::string> forgeries;
    for (int i = 0; i < kForgeries; ++i) {
      std::string bytes =
          SignedPart(SignedMessage{static_cast<uint64_t>(i) + 1,
                                   SecondsSince1970(),
                                   key->PublicKey(),
                                   "IT support",
                                   "*",
                                   "PCIT",
                                   "Please log in at http://example.test/ " + std::to_string(i),
                                   {}});
      forgeries.push_back(bytes + std::string(kSignatureBytes, '\x5A'));
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(0x7F000001);
    const size_t logBefore = LogText().size();
    HANDLE windowThread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, GetCurrentThreadId());
    double cpuBefore = ThreadCpuMs(windowThread);
    ResponsivenessWatch watch(window->Handle());
    double seconds = FloodAndSettle([&] {
      for (int i = 0; i < kForgeries; ++i) {
        const std::string& bytes = forgeries[i];
        sendto(sources[i % sources.size()], bytes.data(), static_cast<int>(bytes.size()), 0,
               reinterpret_cast<sockaddr*>(&to), sizeof to);
        if (i % 64 == 63) Sleep(1);  // a socket buffer's worth at a time
      }
    });
    double longestMs = watch.StopAndTakeLongestMs();
    double cpuMs = ThreadCpuMs(windowThread) - cpuBefore;
    CloseHandle(windowThread);

    std::string part = forgeries[0].substr(0, forgeries[0].size() - kSignatureBytes);
    LARGE_INTEGER checks = Now();
    for (int i = 0; i < 100; ++i)
      VerifySignature(key->PublicKey(), part, forgeries[0].substr(part.size()));
    double checkMs = Seconds(checks) * 1000.0 / 100;
    std::wstring log = LogText().substr(logBefore);
    size_t lines = 0;
    for (size_t at = log.find(L"\r\n"); at != std::wstring::npos; at = log.find(L"\r\n", at + 1))
      ++lines;
    table.Add(label + ": longest time the window did not answer", longestMs, "ms");
    table.Goal(label + ": longest time the window did not answer", 100);
    table.Add(label + ": window thread's CPU time over the flood", cpuMs, "ms");
    table.Add(label + ": signature checks the budget allows (50 + 10 a second)", 50 + 10 * seconds,
              "count");
    table.Add(label + ": their cost at one check's time", (50 + 10 * seconds) * checkMs, "ms");
    table.Add(label + ": log lines", static_cast<double>(lines), "count");
  }
  for (SOCKET source : sources) closesocket(source);
  DestroyWindow(window->Handle());
  PumpMessages();
}

}  // namespace

void RunSignatureFloodBenchmarks(Table& table) {
  Flood(table, NewTempFolder(), 1);
  Flood(table, NewTempFolder(), 1000);
}

}  // namespace parvox::bench
