// Looks at the desktop's windows from outside, as an accessibility tool would, for the end-to-end
// driver: it reads one command per line on standard input and answers with lines ending in "END".
//   windows        every top-level window and its children: class, text, visibility, check state
//   list HWND      the rows of a list view in another process, with ticks and screen rectangles
//   tree HWND      the expanded items of a tree view in another process
//   user           the user name the program sends as
//   quit
#include <windows.h>
// The common controls' header needs the types above.
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr UINT kTimeoutMs = 2000;

// Text as one UTF-8 field: backslash escapes for the characters that would break the line.
std::string Field(const std::wstring& text) {
  std::wstring escaped;
  for (wchar_t c : text) {
    switch (c) {
      case L'\\':
        escaped += L"\\\\";
        break;
      case L'\r':
        escaped += L"\\r";
        break;
      case L'\n':
        escaped += L"\\n";
        break;
      case L'\t':
        escaped += L"\\t";
        break;
      default:
        escaped += c;
        break;
    }
  }
  int size = WideCharToMultiByte(CP_UTF8, 0, escaped.c_str(), static_cast<int>(escaped.size()),
                                 nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, escaped.c_str(), static_cast<int>(escaped.size()), utf8.data(),
                      size, nullptr, nullptr);
  return utf8;
}

std::string Hex(const void* handle) {
  char text[32];
  std::snprintf(text, sizeof text, "%llx",
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(handle)));
  return text;
}

// WM_GETTEXT is marshalled between processes; GetWindowText would not ask an edit control.
std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &length))
    return L"";
  std::vector<wchar_t> buffer(length + 2);
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(),
                           reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG, kTimeoutMs,
                           &copied)) {
    return L"";
  }
  return std::wstring(buffer.data(), copied);
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = L"";
  GetClassNameW(window, name, 256);
  return name;
}

std::string RectText(const RECT& r) {
  std::ostringstream out;
  out << r.left << ' ' << r.top << ' ' << (r.right - r.left) << ' ' << (r.bottom - r.top);
  return out.str();
}

// -1 when the window is no button that has a check state.
LRESULT CheckState(HWND window) {
  if (ClassOf(window) != L"Button") return -1;
  LONG style = GetWindowLongW(window, GWL_STYLE) & BS_TYPEMASK;
  switch (style) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: {
      DWORD_PTR state = 0;
      SendMessageTimeoutW(window, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &state);
      return static_cast<LRESULT>(state);
    }
    default:
      return -1;
  }
}

void PrintWindow(const char* kind, HWND window, HWND parent) {
  RECT r{};
  GetWindowRect(window, &r);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  std::cout << kind << ' ' << Hex(window) << ' ' << Hex(parent) << ' ' << pid << ' '
            << GetDlgCtrlID(window) << ' ' << (IsWindowVisible(window) ? 1 : 0) << ' '
            << (IsWindowEnabled(window) ? 1 : 0) << ' ' << CheckState(window) << ' ' << RectText(r)
            << '\t' << Field(ClassOf(window)) << '\t' << Field(TextOf(window)) << '\n';
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
  PrintWindow("C", child, GetParent(child));
  return TRUE;
}

BOOL CALLBACK PrintTopLevel(HWND window, LPARAM) {
  PrintWindow("T", window, GetWindow(window, GW_OWNER));
  EnumChildWindows(window, PrintChild, 0);
  return TRUE;
}

void PrintWindows() {
  HWND foreground = GetForegroundWindow();
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  HWND focus = nullptr;
  if (foreground != nullptr &&
      GetGUIThreadInfo(GetWindowThreadProcessId(foreground, nullptr), &info)) {
    focus = info.hwndFocus;
  }
  std::cout << "F " << Hex(foreground) << ' ' << Hex(focus) << '\n';
  EnumWindows(PrintTopLevel, 0);
}

// A block of memory in the process that owns a window, for messages that carry pointers.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND window, size_t size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_ != nullptr)
      address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
  }
  ~RemoteBuffer() {
    if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_ != nullptr) CloseHandle(process_);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  bool Valid() const { return address_ != nullptr; }
  char* At(size_t offset) const { return static_cast<char*>(address_) + offset; }
  bool Write(size_t offset, const void* data, size_t size) const {
    SIZE_T done = 0;
    return WriteProcessMemory(process_, At(offset), data, size, &done) && done == size;
  }
  bool Read(size_t offset, void* data, size_t size) const {
    SIZE_T done = 0;
    return ReadProcessMemory(process_, At(offset), data, size, &done) && done == size;
  }

 private:
  size_t size_;
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
};

constexpr size_t kTextOffset = 1024;
constexpr size_t kTextChars = 1024;

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kTimeoutMs, &result);
  return static_cast<LRESULT>(result);
}

std::wstring ListText(HWND list, const RemoteBuffer& remote, int row, int column) {
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = reinterpret_cast<wchar_t*>(remote.At(kTextOffset));
  item.cchTextMax = kTextChars;
  remote.Write(0, &item, sizeof item);
  LRESULT length = Send(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                        reinterpret_cast<LPARAM>(remote.At(0)));
  std::vector<wchar_t> text(kTextChars + 1, L'\0');
  remote.Read(kTextOffset, text.data(), kTextChars * sizeof(wchar_t));
  return std::wstring(text.data(), static_cast<size_t>(length));
}

RECT ScreenRect(HWND window, RECT r) {
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void PrintList(HWND list) {
  RemoteBuffer remote(list, kTextOffset + (kTextChars + 1) * sizeof(wchar_t));
  if (!remote.Valid()) {
    std::cout << "ERROR no access to the list's process\n";
    return;
  }
  HWND header = reinterpret_cast<HWND>(Send(list, LVM_GETHEADER, 0, 0));
  int columns = header != nullptr ? static_cast<int>(Send(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  for (int column = 0; column < columns; ++column) {
    RECT r{};
    remote.Write(0, &r, sizeof r);
    Send(header, HDM_GETITEMRECT, static_cast<WPARAM>(column),
         reinterpret_cast<LPARAM>(remote.At(0)));
    remote.Read(0, &r, sizeof r);
    std::cout << "H " << column << ' ' << RectText(ScreenRect(header, r)) << '\n';
  }
  int rows = static_cast<int>(Send(list, LVM_GETITEMCOUNT, 0, 0));
  std::cout << "N " << rows << '\n';
  for (int row = 0; row < rows; ++row) {
    UINT state = static_cast<UINT>(Send(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row),
                                        LVIS_STATEIMAGEMASK | LVIS_SELECTED | LVIS_FOCUSED));
    RECT r{};
    r.left = LVIR_LABEL;
    remote.Write(0, &r, sizeof r);
    Send(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.At(0)));
    remote.Read(0, &r, sizeof r);
    std::wstring first = ListText(list, remote, row, 0), second = ListText(list, remote, row, 1);
    std::cout << "I " << row << ' ' << (((state & LVIS_STATEIMAGEMASK) >> 12) == 2 ? 1 : 0) << ' '
              << ((state & LVIS_SELECTED) ? 1 : 0) << ' ' << ((state & LVIS_FOCUSED) ? 1 : 0) << ' '
              << RectText(ScreenRect(list, r)) << '\t' << Field(first) << '\t' << Field(second)
              << '\n';
  }
}

void PrintTreeItems(HWND tree, const RemoteBuffer& remote, HTREEITEM item, int depth) {
  for (; item != nullptr; item = reinterpret_cast<HTREEITEM>(Send(
                              tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
    TVITEMW data{};
    data.mask = TVIF_TEXT | TVIF_STATE;
    data.hItem = item;
    data.stateMask = TVIS_SELECTED | TVIS_EXPANDED;
    data.pszText = reinterpret_cast<wchar_t*>(remote.At(kTextOffset));
    data.cchTextMax = kTextChars;
    remote.Write(0, &data, sizeof data);
    Send(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.At(0)));
    remote.Read(0, &data, sizeof data);
    std::vector<wchar_t> text(kTextChars + 1, L'\0');
    remote.Read(kTextOffset, text.data(), kTextChars * sizeof(wchar_t));
    // TVM_GETITEMRECT takes the item in the rectangle's place.
    RECT r{};
    std::memcpy(&r, &item, sizeof item);
    remote.Write(0, &r, sizeof r);
    bool shown = Send(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(remote.At(0))) != 0;
    remote.Read(0, &r, sizeof r);
    if (!shown) r = RECT{};
    std::cout << "I " << depth << ' ' << ((data.state & TVIS_SELECTED) ? 1 : 0) << ' '
              << ((data.state & TVIS_EXPANDED) ? 1 : 0) << ' ' << RectText(ScreenRect(tree, r))
              << '\t' << Field(text.data()) << '\n';
    if (data.state & TVIS_EXPANDED) {
      HTREEITEM child = reinterpret_cast<HTREEITEM>(
          Send(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
      PrintTreeItems(tree, remote, child, depth + 1);
    }
  }
}

void PrintTree(HWND tree) {
  RemoteBuffer remote(tree, kTextOffset + (kTextChars + 1) * sizeof(wchar_t));
  if (!remote.Valid()) {
    std::cout << "ERROR no access to the tree's process\n";
    return;
  }
  HTREEITEM root = reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  PrintTreeItems(tree, remote, root, 0);
}

HWND ParseHandle(const std::string& text) {
  return reinterpret_cast<HWND>(static_cast<UINT_PTR>(std::stoull(text, nullptr, 16)));
}

}  // namespace

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream words(line);
    std::string command, argument;
    words >> command >> argument;
    try {
      if (command == "quit") break;
      if (command == "windows") {
        PrintWindows();
      } else if (command == "list") {
        PrintList(ParseHandle(argument));
      } else if (command == "tree") {
        PrintTree(ParseHandle(argument));
      } else if (command == "user") {
        char name[256];
        DWORD length = sizeof name;
        if (GetUserNameA(name, &length)) std::cout << "U " << name << '\n';
      } else if (!command.empty()) {
        std::cout << "ERROR unknown command " << command << '\n';
      }
    } catch (const std::exception& error) {
      std::cout << "ERROR " << error.what() << '\n';
    }
    std::cout << "END" << std::endl;
  }
  return 0;
}
