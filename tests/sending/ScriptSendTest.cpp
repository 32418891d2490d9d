// The real parvox.com (and parvox.exe) run as a script runs them (`parvox send ...`), with their
// standard handles redirected to pipes, beside a Parvox window in this process that holds the
// port.
#include <gtest/gtest.h>
#include <windows.h>
// Builds on windows.h.
#include <tlhelp32.h>

#include <string>
#include <thread>

#include "components/AnsiText.h"
#include "components/ModulePath.h"
#include "identity/ThisComputer.h"
#include "log/Log.h"
#include "log/LogWindow.h"
#include "support/MainWindowFixture.h"
#include "support/StartProcess.h"
#include "support/TempFolder.h"

namespace parvox {
namespace {

struct ScriptRun {
  DWORD exitCode = 0;
  std::string out, err;
  bool startedWindow = false;  // a parvox.exe ran when it ended
};

// Reads a pipe to its end on a thread of its own, so that a full pipe never stops the child.
class PipeReader {
 public:
  explicit PipeReader(HANDLE pipe)
      : thread_([this, pipe] {
          char buffer[4096];
          DWORD read = 0;
          while (ReadFile(pipe, buffer, sizeof buffer, &read, nullptr) && read > 0)
            text_.append(buffer, read);
          CloseHandle(pipe);
        }) {}
  std::string Take() {
    thread_.join();
    return text_;
  }

 private:
  std::string text_;
  std::thread thread_;
};

class ScriptSendTest : public test::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    port = test::FreeUdpPort();
    const std::string settings = "[Settings]\r\nNetwork Port=" + std::to_string(port) + "\r\n";
    WriteSettings(settings);
    // They read the port from the settings file beside them, as an installed copy would.
    std::wstring tests = CurrentModulePath();
    tests.resize(tests.rfind(L'\\'));
    for (const wchar_t* program : {L"parvox.com", L"parvox.exe"}) {
      ASSERT_TRUE(CopyFileW((tests.substr(0, tests.rfind(L'\\') + 1) + program).c_str(),
                            script.File(program).c_str(), FALSE));
    }
    test::WriteBytes(script.File(L"Address Book.ini"), settings);
  }

  // Runs `PROGRAM ARGS` with `input` on its standard input, the window answering meanwhile.
  ScriptRun Run(const std::wstring& arguments, const std::string& input = "",
                const wchar_t* program = L"parvox.com") {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE inRead, inWrite, outRead, outWrite, errRead, errWrite;
    CreatePipe(&inRead, &inWrite, &inherit, 0);
    CreatePipe(&outRead, &outWrite, &inherit, 0);
    CreatePipe(&errRead, &errWrite, &inherit, 0);
    for (HANDLE ours : {inWrite, outRead, errRead})
      SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{sizeof startup};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    std::wstring exe = script.File(program);
    std::wstring line = L"\"" + exe + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    ScriptRun run;
    if (!test::StartProcess(exe.c_str(), line, true, script.Path().c_str(), startup, process)) {
      ADD_FAILURE() << ToAnsi(program) << " did not start: " << GetLastError();
      return run;
    }
    for (HANDLE theirs : {inRead, outWrite, errWrite}) CloseHandle(theirs);
    PipeReader out(outRead), err(errRead);
    DWORD written = 0;
    WriteFile(inWrite, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    CloseHandle(inWrite);
    while (MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 60000, QS_ALLINPUT) ==
           WAIT_OBJECT_0 + 1) {
      test::PumpMessages();
    }
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    // parvox.com starts the window program before it exits; that one would hold the pipes open.
    run.startedWindow = EndWindowProgram();
    run.out = out.Take();
    run.err = err.Take();
    test::PumpMessages();
    return run;
  }

  // Whether a parvox.exe runs (in this Wine prefix, or this Windows session); it is ended.
  static bool EndWindowProgram() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{sizeof entry};
    bool found = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
      if (lstrcmpiW(entry.szExeFile, L"parvox.exe") != 0) continue;
      found = true;
      if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID)) {
        TerminateProcess(process, 1);
        CloseHandle(process);
      }
    }
    CloseHandle(snapshot);
    return found;
  }

  test::TempFolder script;
  uint16_t port = 0;
};

TEST_F(ScriptSendTest, ExitCodesTellWhoGotIt) {
  Start();
  const std::string delivered = "Message delivered to " + ToAnsi(GetCurrentUserName()) + " (";
  ScriptRun run = Run(L"send . Backup failed on FILESRV");
  EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
  EXPECT_EQ(run.out.rfind(delivered, 0), 0u) << run.out;
  EXPECT_NE(LogText().find(L"]: Backup failed on FILESRV"), std::wstring::npos)
      << "the window beside it shows the message";
  run = Run(L"send . From the window program", "", L"parvox.exe");
  EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
  EXPECT_EQ(run.out.rfind(delivered, 0), 0u) << run.out;

  run = Run(L"send /wait:1 /nomailslot 127.0.0.1:" + std::to_wstring(test::FreeUdpPort()) +
            L" anyone?");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(run.out.rfind("Error sending message to 127.0.0.1:", 0), 0u) << run.out;

  run = Run(L"send . -", "Disk full\r\non FILESRV\r\n");
  EXPECT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_NE(LogText().find(L"]: Disk full \u00B6 on FILESRV\r\n"), std::wstring::npos)
      << "standard input is the message, its last line end dropped";

  run = Run(L"send /quiet . shh");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.out, "");

  for (const wchar_t* wrong :
       {L"send", L"send bob", L"send /wait:x bob hi", L"send /loud bob hi", L"send bob,,pc7 hi",
        L"/quiet send admin Backup failed", L"\"send admin Backup failed\""}) {
    SCOPED_TRACE(wrong);
    run = Run(wrong);
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("parvox send [/wait:SECONDS]"), std::string::npos) << run.err;
    EXPECT_FALSE(run.startedWindow);
  }
  run = Run(L"send /?");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_NE(run.out.find("Exit code: 0 every recipient confirmed it"), std::string::npos);
}

}  // namespace
}  // namespace parvox
