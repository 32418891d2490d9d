// Main window construction, start-up and shutdown.
#include "app/MainWindow.h"

#include <exception>
#include <vector>

#include "addressbook/AddressBookCommands.h"
#include "addressbook/AddressList.h"
#include "components/ListViewChecks.h"
#include "components/Version.h"
#include "identity/LocalIdentity.h"
#include "identity/ThisComputer.h"
#include "log/Log.h"
#include "log/LogWindow.h"
#include "relay/RelaySetup.h"
#include "relay/RelayTopics.h"
#include "resource.h"
#include "sending/AwaitedAcknowledgements.h"
#include "sending/NetworkDelivery.h"
#include "settings/AppPaths.h"
#include "settings/AppState.h"

namespace parvox {
namespace {

constexpr wchar_t kMainClass[] = L"ParvoxMain";
constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int kNameColumnTwips = 1750;
constexpr int kDescriptionColumnTwips = 2100;
// Posted by a pop-up's Reply, so the reply runs after the pop-up has closed.
constexpr UINT kReplyMessage = WM_APP + 2;
// How often the window looks for messages whose acknowledgements are no longer awaited.
constexpr UINT_PTR kAcknowledgementTimer = 1;
constexpr UINT kAcknowledgementCheckMs = 10000;

std::wstring GroupedNumber(size_t value) {
  wchar_t decimal[8] = L".", thousand[8] = L",", grouping[16] = L"3;0";
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 8);
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, thousand, 8);
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SGROUPING, grouping, 16);
  // "3;0" means groups of three; "3;2;0" (India) is expressed to NUMBERFMT as 32.
  UINT groups = 0;
  for (const wchar_t* c = grouping; *c != 0; ++c) {
    if (*c >= L'1' && *c <= L'9') groups = groups * 10 + static_cast<UINT>(*c - L'0');
  }
  NUMBERFMTW format{};
  format.NumDigits = 0;
  format.LeadingZero = 1;
  format.Grouping = groups;
  format.lpDecimalSep = decimal;
  format.lpThousandSep = thousand;
  format.NegativeOrder = 1;
  std::wstring digits = std::to_wstring(value);
  wchar_t formatted[64];
  if (GetNumberFormatW(LOCALE_USER_DEFAULT, 0, digits.c_str(), &format, formatted, 64) == 0) {
    return digits;
  }
  return formatted;
}

}  // namespace

std::wstring HelpText() {
  return L"You need to have at least one entry in the address book to the left to be able to "
         L"send a message. Start by clicking on Add and following the given instructions. Press "
         L"the right mouse button on the address book for a menu.\r\n"
         L"\r\n"
         L"The Messenger service needs to be running to\r\n"
         L"send messages, unless you change the\r\n"
         L"Network setting in the Settings window so\r\n"
         L"Parvox uses its own built-in network\r\n"
         L"sending protocol. The built-in protocol allows\r\n"
         L"you to know if the sending of a message was successful or not.";
}

std::wstring CharacterCountText(size_t characters) {
  return L"Your current message contains " + GroupedNumber(characters) + L" characters..";
}

MainWindow::~MainWindow() {
  // Destroyed while the image list and the menus it uses are still alive.
  if (Handle() != nullptr) DestroyWindow(Handle());
}

void MainWindow::CreateImageList() {
  images_.Reset(ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 3, 0));
  for (int id : {IDI_STATUS_INFO, IDI_TYPE_USER, IDI_TYPE_DOMAIN}) {
    IconHandle icon = LoadIconResource(id, 16);
    ImageList_AddIcon(images_.Get(), icon.Get());
  }
}

HWND MainWindow::CreateCustomControl(const ControlSpec& spec, const PixelBox& box) {
  if (spec.id != kIdPicStatus) return nullptr;
  return status_.Create(Handle(), box.left, box.top, box.width, box.height, Font(false),
                        images_.Get());
}

void MainWindow::CreateColumns() {
  HWND list = AddressList();
  SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images_.Get()));
  struct Column {
    const wchar_t* title;
    int twips;
  };
  const Column columns[] = {{L"Name", kNameColumnTwips}, {L"Description", kDescriptionColumnTwips}};
  for (int i = 0; i < 2; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<wchar_t*>(columns[i].title);
    column.cx = TwipsToPixels(columns[i].twips, Dpi());
    column.iSubItem = i;
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(&column));
  }
}

void MainWindow::ShowHelpText() {
  HWND message = Control(kIdTxtMsg);
  fillingHelpText_ = true;
  std::wstring help = HelpText();
  SetWindowTextW(message, help.c_str());
  // Selected, so the first key replaces it, but with the caret at its start (the end position
  // is the caret's), so that it shows from its first line rather than scrolled to its last.
  SendMessageW(message, EM_SETSEL, static_cast<WPARAM>(help.size()), 0);
  fillingHelpText_ = false;
}

bool MainWindow::Create(const std::wstring& commandLine, const std::wstring& modulePath) {
  windowIcon_ = LoadIconResource(IDI_APP, 32);
  CreateImageList();  // before the controls: the status line and the list use it
  std::wstring title = AppTitle();
  if (!CreateForm({kMainClass, title.c_str(), kMainStyle, 0, windowIcon_.Get(),
                   kMainClientWidthTwips, kMainClientHeightTwips, nullptr},
                  MainControls())) {
    return false;
  }
  CreateMenus();
  CreateColumns();
  SubclassKeyControls();
  trayIcon_ = LoadIconResource(IDI_APP, 16);
  imgSystemTray_.icon = trayIcon_.Get();
  taskbarCreatedMessage_ = RegisterWindowMessageW(L"TaskbarCreated");
  SetStatusText(L"Loading..");
  SetListFullRowSelect(AddressList(), true);
  SetListCheckBoxes(AddressList(), true);
  ShowHelpText();
  // A settings file that cannot be held leaves the defaults; the book's load then says why.
  try {
    LoadSettings(modulePath);
  } catch (const std::exception&) {
  }
  book_.LoadAddressBook();
  try {
    book_.RestoreLastSelection();
  } catch (const std::exception&) {
  }
  AddTrayIcon(Handle(), imgSystemTray_, AppTitle());

  // Minimised before it is first shown: the resize rule then hides it to the tray at once.
  bool startHidden = CommandLineAsksToMinimise(commandLine) || App().startMinimised;
  LoadLogWindow();
  for (const std::wstring& entry : App().badTrustedNetworks) {
    AppendLog(false, L"The trusted network \"" + entry.substr(0, 300) +
                         L"\" in the settings file was ignored: write each network in CIDR form, "
                         L"such as 10.1.0.0/16 (a /8 at the widest, for IPv6 a /16), separated "
                         L"by commas.");
  }
  inbox_ = std::make_unique<MessageInbox>(*this);
  // Before the relay, which may bring the acknowledgements it held while the program was closed.
  LoadWindowAcknowledgements();
  LogExpiredAcknowledgements();
  SetTimer(Handle(), kAcknowledgementTimer, kAcknowledgementCheckMs, nullptr);
  OpenRelayIfSet();
  ApplyReceiveOption();
  ShowWindow(Handle(), startHidden ? SW_SHOWMINNOACTIVE : SW_SHOWNORMAL);
  if (!startHidden) SetFocus(Control(kIdTxtMsg));
  return true;
}

void MainWindow::ApplyReceiveOption() {
  if (!App().receiveMessages) {
    slotReceiver_.reset();
    networkReceiver_.reset();
    return;
  }
  if (!Receiving()) {
    slotReceiver_ = std::make_unique<MessengerSlotReceiver>(*inbox_);
    if (!slotReceiver_->Start()) slotReceiver_.reset();
  }
  if (networkReceiver_ == nullptr) {
    networkReceiver_ =
        std::make_unique<NetworkReceiver>(*inbox_, DeliverReceipt, ReceiptAwaitedFrom);
    // Without the port (another user's Parvox holds it on a terminal server), the relay still
    // brings this user's messages.
    if (!networkReceiver_->Start(App().networkPort, App().trustedNetworks) && relay_ == nullptr)
      networkReceiver_.reset();
    else
      networkReceiver_->UseRelay(relay_.get());
  }
}

void MainWindow::OpenRelayIfSet() {
  std::optional<RelayServer> server = ConfiguredRelayServer();
  if (!server) return;
  relay_ =
      OpenRelay(*server,
                TopicFiltersFor(RelayName(GetCurrentUserName()), RelayName(GetThisComputerName()),
                                RelayName(JoinedDomainOrWorkgroup())),
                [this](RelayMessage message) {
                  if (networkReceiver_ != nullptr) {
                    networkReceiver_->OnRelayed(std::move(message));
                    return;
                  }
                  // Not receiving: messages are taken and dropped, as on a closed port, but
                  // the receipts and acknowledgements this user's sends await still count.
                  DecodedDatagram decoded = DecodeNetworkDatagram(message.payload);
                  if (const auto* answer = std::get_if<SignedReceipt>(&decoded)) {
                    DeliverReceipt(*answer, RelaySourceAddress());
                  }
                  if (relay_ != nullptr) relay_->Acknowledge(message.receipt);
                });
}

void MainWindow::LogNotAcknowledged() {
  std::wstring text;
  for (const std::wstring& line : AwaitedAcknowledgementLines(WindowAcknowledgements())) {
    text += (text.empty() ? L"" : L"\r\n") + line;
  }
  AppendLog(false, text);
  ShowLogWindow();
}

void MainWindow::LogExpiredAcknowledgements() {
  for (const std::wstring& line : TakeExpiredAcknowledgementLines(WindowAcknowledgements())) {
    AppendLog(false, line);
  }
}

void MainWindow::ReplyTo(const std::wstring& address) {
  pendingReply_ = address;
  PostMessageW(Handle(), kReplyMessage, 0, 0);
}

void MainWindow::SetStatusText(const std::wstring& text) { status_.SetText(text); }

void MainWindow::SaveViewState() {
  HWND list = AddressList();
  auto columnTwips = [&](int column) {
    return TwipsText(
        PixelsToTwips(static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0)), Dpi()));
  };
  // With the book not loaded whole the ticks of the missing entries would be lost, and after a
  // file that could not be read the widths are only the defaults: nothing is stored then.
  if (!book_.AddressBookComplete()) return;
  WriteSetting(SettingId::kAddressColumnWidth, columnTwips(0));
  WriteSetting(SettingId::kDescriptionColumnWidth, columnTwips(1));
  WriteSetting(SettingId::kLastSelected, TickedAddresses(list));
}

void MainWindow::TrySaveViewState() {
  try {
    SaveViewState();
  } catch (const std::exception&) {
    // Nothing was stored: every write replaces the file whole or leaves it as it was.
  }
}

LRESULT MainWindow::OnNotify(const NMHDR& header) {
  if (header.idFrom != kIdLvwAddressBook) return 0;
  switch (header.code) {
    case LVN_DELETEITEM:
      ReleaseRowTag(reinterpret_cast<const NMLISTVIEW&>(header));
      break;
    case LVN_COLUMNCLICK:
      SortByColumn(*this, reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
      break;
    case NM_DBLCLK:
      if (RowCount(AddressList()) > 0) EditEntry(*this);
      break;
    case NM_RCLICK:  // sent when the right button is released over the list
      OpenPopupMenu(kMContext);
      break;
    default:
      break;
  }
  return 0;
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == taskbarCreatedMessage_ && message != 0) {
    // The shell restarted and forgot the icon: register it again.
    imgSystemTray_.registered = false;
    AddTrayIcon(Handle(), imgSystemTray_, AppTitle());
    return 0;
  }
  switch (message) {
    case kTrayCallbackMessage:
      OnTrayEvent(lParam);
      return 0;
    case WM_SIZE:
      OnResize(wParam);
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_CLOSE:
      DestroyWindow(Handle());
      return 0;
    case WM_ENDSESSION:
      // Windows is logging off or shutting down: the process ends without WM_DESTROY, so the
      // ticks and column widths are stored now.
      if (wParam) {
        TrySaveViewState();
        SaveWindowAcknowledgements();
        RemoveTrayIcon(Handle(), imgSystemTray_);
      }
      return 0;
    case kReplyMessage:
      OnReply();
      return 0;
    case WM_TIMER:
      if (wParam != kAcknowledgementTimer) break;
      LogExpiredAcknowledgements();
      return 0;
    case WM_DESTROY:
      // The program must end and leave no icon behind whatever storing the view state met.
      TrySaveViewState();
      // Sends still waiting for receipts log what they have; nothing more is received, and the
      // pop-ups go with the program.
      FinishWaitingSends();
      KillTimer(Handle(), kAcknowledgementTimer);
      SaveWindowAcknowledgements();
      networkReceiver_.reset();
      slotReceiver_.reset();
      inbox_.reset();
      UnloadLogWindow();
      RemoveTrayIcon(Handle(), imgSystemTray_);
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return Form::HandleMessage(message, wParam, lParam);
}

}  // namespace parvox
