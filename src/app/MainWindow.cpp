// Main window construction, start-up and shutdown.
#include "app/MainWindow.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "addressbook/AddressBookCommands.h"
#include "addressbook/AddressList.h"
#include "components/DialogFont.h"
#include "components/ListViewChecks.h"
#include "components/ScreenDpi.h"
#include "components/Version.h"
#include "components/WindowPlacement.h"
#include "log/Log.h"
#include "resource.h"
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
  if (Handle() != nullptr) DestroyWindow(Handle());
  if (images_ != nullptr) ImageList_Destroy(images_);
  if (menuBar_ != nullptr) DestroyMenu(menuBar_);
}

HWND MainWindow::Control(MainControlId id) const {
  auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

void MainWindow::CreateFonts() {
  font_ = CreateDialogFont(dpi_, false);
  boldFont_ = CreateDialogFont(dpi_, true);
}

void MainWindow::CreateImageList() {
  images_ = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 3, 0);
  for (int id : {IDI_STATUS_INFO, IDI_TYPE_USER, IDI_TYPE_DOMAIN}) {
    IconHandle icon(static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0)));
    ImageList_AddIcon(images_, icon.Get());
  }
}

HWND MainWindow::CreateControl(const ControlSpec& spec) {
  TwipRect twips = AbsoluteTwips(spec);
  int x = TwipsToPixels(twips.left, dpi_), y = TwipsToPixels(twips.top, dpi_);
  int width = TwipsToPixels(twips.width, dpi_), height = TwipsToPixels(twips.height, dpi_);
  HWND parent = Handle();
  auto* menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id));
  HINSTANCE instance = GetModuleHandleW(nullptr);
  DWORD child = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
  HWND control = nullptr;
  switch (spec.kind) {
    case ControlKind::kContainer:
      return nullptr;  // only positions its buttons
    case ControlKind::kStatusHost:
      return status_.Create(parent, x, y, width, height, font_.Get(), images_);
    case ControlKind::kFrame:
      control = CreateWindowExW(0, WC_BUTTONW, spec.caption, child | BS_GROUPBOX, x, y, width,
                                height, parent, menu, instance, nullptr);
      break;
    case ControlKind::kButton:
    case ControlKind::kBoldButton:
      control = CreateWindowExW(0, WC_BUTTONW, spec.caption, child | WS_TABSTOP | BS_PUSHBUTTON, x,
                                y, width, height, parent, menu, instance, nullptr);
      break;
    case ControlKind::kTextBox:
      control = CreateWindowExW(
          WS_EX_CLIENTEDGE, WC_EDITW, L"",
          child | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, x, y,
          width, height, parent, menu, instance, nullptr);
      break;
    case ControlKind::kListView:
      control =
          CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                          child | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
                          x, y, width, height, parent, menu, instance, nullptr);
      break;
  }
  // No typing limit: the edit's default would silently stop a long message at 32,767 characters.
  if (spec.kind == ControlKind::kTextBox) SendMessageW(control, EM_SETLIMITTEXT, 0, 0);
  HFONT font = spec.kind == ControlKind::kBoldButton ? boldFont_.Get() : font_.Get();
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

void MainWindow::CreateControls() {
  std::vector<const ControlSpec*> ordered;
  for (const ControlSpec& spec : MainControls()) ordered.push_back(&spec);
  // Creation order is the tab order.
  std::stable_sort(ordered.begin(), ordered.end(), [](const ControlSpec* a, const ControlSpec* b) {
    return a->tabIndex < b->tabIndex;
  });
  for (const ControlSpec* spec : ordered) {
    if (HWND control = CreateControl(*spec)) controls_[spec->id] = control;
  }
  // Frames go beneath everything, or they would hide the controls drawn inside them.
  for (const ControlSpec* spec : ordered) {
    if (spec->kind == ControlKind::kFrame) {
      SetWindowPos(Control(spec->id), HWND_BOTTOM, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }

  HWND list = AddressList();
  SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images_));
  struct Column {
    const wchar_t* title;
    int twips;
  };
  const Column columns[] = {{L"Name", kNameColumnTwips}, {L"Description", kDescriptionColumnTwips}};
  for (int i = 0; i < 2; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<wchar_t*>(columns[i].title);
    column.cx = TwipsToPixels(columns[i].twips, dpi_);
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
  SendMessageW(message, EM_SETSEL, 0, static_cast<LPARAM>(help.size()));
  fillingHelpText_ = false;
}

bool MainWindow::Create(const std::wstring& commandLine, const std::wstring& modulePath) {
  dpi_ = ScreenDpi();

  windowIcon_.Reset(static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, 32, 32, 0)));
  RegisterWindowClass(kMainClass, windowIcon_.Get(), GetSysColorBrush(COLOR_BTNFACE));
  RECT frame = CentredFrame(kMainClientWidthTwips, kMainClientHeightTwips, kMainStyle, 0, dpi_);
  if (!CreateWindowFor(kMainClass, AppTitle().c_str(), kMainStyle, 0, frame.left, frame.top,
                       frame.right - frame.left, frame.bottom - frame.top, nullptr)) {
    return false;
  }

  CreateFonts();
  CreateImageList();
  CreateMenus();
  CreateControls();
  SubclassKeyControls();
  trayIcon_.Reset(static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, 16, 16, 0)));
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
  inbox_ = std::make_unique<MessageInbox>(*this);
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
    networkReceiver_ = std::make_unique<NetworkReceiver>(*inbox_, DeliverReceipt);
    if (!networkReceiver_->Start(App().networkPort)) networkReceiver_.reset();
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
        PixelsToTwips(static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0)), dpi_));
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

// Without this the window itself would take the keyboard back from a closed dialog or the
// tray, and no control would see Ctrl+S, Escape or typing until the user clicked one.
void MainWindow::OnActivate(bool active, bool minimised) {
  if (!active) {
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(Handle(), focus)) lastFocus_ = focus;
    return;
  }
  if (minimised) return;
  SetFocus(lastFocus_ != nullptr && IsChild(Handle(), lastFocus_) ? lastFocus_
                                                                  : Control(kIdTxtMsg));
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == taskbarCreatedMessage_ && message != 0) {
    // The shell restarted and forgot the icon: register it again.
    imgSystemTray_.registered = false;
    AddTrayIcon(Handle(), imgSystemTray_, AppTitle());
    return 0;
  }
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case kTrayCallbackMessage:
      OnTrayEvent(lParam);
      return 0;
    case WM_SIZE:
      OnResize(wParam);
      return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam) != WA_INACTIVE, HIWORD(wParam) != 0);
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
        RemoveTrayIcon(Handle(), imgSystemTray_);
      }
      return 0;
    case kReplyMessage:
      OnReply();
      return 0;
    case WM_DESTROY:
      // The program must end and leave no icon behind whatever storing the view state met.
      TrySaveViewState();
      // Sends still waiting for receipts log what they have; nothing more is received, and the
      // pop-ups go with the program.
      FinishWaitingSends();
      networkReceiver_.reset();
      slotReceiver_.reset();
      inbox_.reset();
      UnloadLogWindow();
      RemoveTrayIcon(Handle(), imgSystemTray_);
      PostQuitMessage(0);
      return 0;
    default:
      return Window::HandleMessage(message, wParam, lParam);
  }
}

}  // namespace parvox
