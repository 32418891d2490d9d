// Main-window test fixture.
#include "support/MainWindowFixture.h"

#include <commctrl.h>

#include "components/Form.h"
#include "components/MessageBoxSeam.h"
#include "network/UdpEndpoint.h"
#include "sending/NetworkDelivery.h"

namespace parvox::test {

std::vector<ShownMessageBox> MainWindowTest::shownBoxes;
int MainWindowTest::answer = IDOK;

void WaitForReceipts() {
  for (PumpMessages(); ReceiptsPending(); PumpMessages()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

uint16_t FreeUdpPort() {
  UdpEndpoint probe;
  probe.Open(0);
  return probe.Port();
}

void ClickItem(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

namespace {

struct PendingDialog {
  const wchar_t* className = nullptr;
  std::function<void(HWND)> answer;
  bool answered = false;
};
PendingDialog pending;

// Runs inside the dialog's own modal loop, as the user's hand would.
void CALLBACK AnswerDialog(HWND, UINT, UINT_PTR timer, DWORD) {
  if (pending.answered) return;
  HWND dialog = FindWindowW(pending.className, nullptr);
  if (dialog == nullptr || !IsWindowVisible(dialog)) return;
  pending.answered = true;
  KillTimer(nullptr, timer);
  pending.answer(dialog);
  if (IsWindow(dialog)) {
    ADD_FAILURE() << "the dialog was left open";
    PostMessageW(dialog, WM_CLOSE, 0, 0);
  }
}

}  // namespace

void MainWindowTest::WithDialog(const wchar_t* dialogClass, const std::function<void()>& command,
                                const std::function<void(HWND)>& answer) {
  pending = {dialogClass, answer, false};
  UINT_PTR timer = SetTimer(nullptr, 0, 10, AnswerDialog);
  command();
  KillTimer(nullptr, timer);
  EXPECT_TRUE(pending.answered) << "the dialog never appeared";
  PumpMessages();
}

void MainWindowTest::Click(MainControlId id) {
  SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(window->Control(id)));
}

void MainWindowTest::Command(int menuId) {
  SendMessageW(window->Handle(), WM_COMMAND, MAKEWPARAM(menuId, 0), 0);
}

void MainWindowTest::SetUp() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  shownBoxes.clear();
  answer = IDOK;
  SetMessageBoxHandler([](HWND, const std::wstring& text, const std::wstring& caption, UINT flags) {
    shownBoxes.push_back({text, caption, flags});
    return answer;
  });
}

void MainWindowTest::TearDown() {
  if (window) Close();
  SetMessageBoxHandler(nullptr);
}

void MainWindowTest::Start(const std::wstring& commandLine) {
  window = std::make_unique<MainWindow>();
  ASSERT_TRUE(window->Create(commandLine, folder.File(L"parvox.exe")));
  PumpMessages();
}

void MainWindowTest::Close() {
  DestroyWindow(window->Handle());
  PumpMessages();
  window.reset();
}

void MainWindowTest::WriteSettings(const std::string& bytes) { WriteBytes(SettingsFile(), bytes); }

void MainWindowTest::StartWithBook(const std::string& book, bool internalSend) {
  // The test reads what is sent itself, as the recipient would: Parvox must not receive here.
  WriteSettings(book +
                "[Settings]\r\nReceive Messages=0\r\nInternal Send=" + (internalSend ? "1" : "0") +
                "\r\nNetwork Port=" + std::to_string(FreeUdpPort()) + "\r\n");
  Start();
}

void MainWindowTest::SetMessage(const std::wstring& text) {
  HWND message = window->Control(kIdTxtMsg);
  SendMessageW(message, EM_SETSEL, 0, -1);
  SendMessageW(message, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
}

void MainWindowTest::PressKey(HWND control, WORD key, bool ctrl, bool shift, bool alt) {
  SetFocus(control);
  BYTE state[256] = {};
  GetKeyboardState(state);
  state[VK_CONTROL] = ctrl ? 0x80 : 0;
  state[VK_SHIFT] = shift ? 0x80 : 0;
  state[VK_MENU] = alt ? 0x80 : 0;
  SetKeyboardState(state);
  auto route = [&](MSG message) {
    DispatchFormMessage(message);
    // What the key-down led to (a typed character, a posted close) runs through the loop too.
    MSG queued;
    while (PeekMessageW(&queued, nullptr, 0, 0, PM_REMOVE)) {
      if (queued.message != WM_QUIT) DispatchFormMessage(queued);
    }
  };
  route(MSG{control, WM_KEYDOWN, key, 0x00000001});
  if (IsWindow(control)) route(MSG{control, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001)});
  state[VK_CONTROL] = state[VK_SHIFT] = state[VK_MENU] = 0;
  SetKeyboardState(state);
}

}  // namespace parvox::test
