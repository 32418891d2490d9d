// Panel bookkeeping, measuring and painting of the status bar, and the window surface it paints on.
#include "components/StatusBar.h"

#include <algorithm>
#include <climits>

#include "components/AnsiText.h"
#include "components/ModulePath.h"
#include "components/ScreenDpi.h"

namespace parvox {
namespace {

constexpr UINT kTextFlags = DT_SINGLELINE | DT_VCENTER;
constexpr UINT kIconTextFlags = DT_SINGLELINE | DT_VCENTER | DT_WORD_ELLIPSIS;
constexpr UINT kGripFlags = DT_SINGLELINE | DT_BOTTOM | DT_RIGHT;

// Parts of the "Status" theme class.
constexpr int kPartPane = 1;
constexpr int kPartGripperPane = 2;
constexpr int kPartGripper = 3;
constexpr int kPartBar = 4;

VisualStyleApi& CurrentApi() {
  static VisualStyleApi api = RealVisualStyleApi();
  return api;
}

// The executable's file name without folder and extension.
const std::wstring& ExecutableBaseName() {
  static const std::wstring name = [] {
    std::wstring path = CurrentModulePath();
    path.erase(0, path.find_last_of(L"\\/") + 1);
    size_t dot = path.rfind(L'.');
    if (dot != std::wstring::npos) path.erase(dot);
    return path;
  }();
  return name;
}

[[noreturn]] void ThrowInvalidIndex(const std::wstring& what) {
  throw StatusBarError(kErrorInvalidPanelIndex, ExecutableBaseName() + L".koraStatusBar",
                       InvalidPanelIndexText(what));
}

RECT ToRect(const PanelRect& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

PanelRect FromRect(const RECT& rect) {
  return {static_cast<int>(rect.left), static_cast<int>(rect.top), static_cast<int>(rect.right),
          static_cast<int>(rect.bottom)};
}

int DrawAnsiText(HDC dc, const std::wstring& text, RECT& rect, UINT flags) {
  std::string ansi = ToAnsi(text);
  int length = static_cast<int>(std::min<size_t>(ansi.size(), INT_MAX));
  return DrawTextA(dc, ansi.data(), length, &rect, flags);
}

int FirstImageHeight(HIMAGELIST list) {
  IMAGEINFO info{};
  if (!ImageList_GetImageInfo(list, 0, &info)) return 0;
  return info.rcImage.bottom - info.rcImage.top;
}

}  // namespace

StatusBarError::StatusBarError(std::uint32_t number, std::wstring source, std::wstring description)
    : std::runtime_error(ToAnsi(description)),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

VisualStyleApi RealVisualStyleApi() {
  return {GetVersion,    OpenThemeData, DrawThemeBackground, GetThemeBackgroundContentRect,
          DrawThemeText, CloseThemeData};
}

VisualStyleApi SetVisualStyleApi(const VisualStyleApi& api) {
  VisualStyleApi previous = CurrentApi();
  CurrentApi() = api;
  return previous;
}

WindowSurface::WindowSurface(HWND window, HFONT font)
    : window_(window), dc_(GetDC(window)), font_(font) {
  if (dc_ == nullptr) return;
  originalFont_ = GetCurrentObject(dc_, OBJ_FONT);
  if (font_ != nullptr) SelectObject(dc_, font_);
  SetBkMode(dc_, TRANSPARENT);
  SetTextColor(dc_, GetSysColor(COLOR_BTNTEXT));
}

WindowSurface::~WindowSurface() { Release(); }

void WindowSurface::Release() {
  if (dc_ == nullptr) return;
  SelectObject(dc_, originalFont_);
  ReleaseDC(window_, dc_);
  dc_ = nullptr;
}

RECT WindowSurface::Client() const {
  RECT client{};
  if (!GetClientRect(window_, &client)) throw std::runtime_error("the surface has no window");
  return client;
}

int WindowSurface::ScaleWidth() const { return Client().right; }

int WindowSurface::ScaleHeight() const { return Client().bottom; }

void WindowSurface::Font(HFONT font) {
  font_ = font;
  if (dc_ != nullptr) SelectObject(dc_, font_ != nullptr ? font_ : originalFont_);
}

void WindowSurface::ForeColor(COLORREF color) {
  if (dc_ != nullptr) SetTextColor(dc_, color);
}

// One opened theme for the length of a paint.
class StatusBar::Theme {
 public:
  Theme(const VisualStyleApi& api, HTHEME theme, HDC dc) : api_(api), theme_(theme), dc_(dc) {}
  ~Theme() { api_.closeThemeData(theme_); }
  Theme(const Theme&) = delete;
  Theme& operator=(const Theme&) = delete;

  bool Background(int part, const RECT& rect, const RECT* clip) {
    return api_.drawThemeBackground(theme_, dc_, part, 0, &rect, clip) == S_OK;
  }
  RECT Content(int part, const RECT& rect) {
    RECT content = rect;
    if (api_.getThemeBackgroundContentRect(theme_, dc_, part, 0, &rect, &content) != S_OK) {
      content = rect;
    }
    return content;
  }
  void Text(int part, const std::wstring& text, DWORD flags, const RECT& rect) {
    api_.drawThemeText(theme_, dc_, part, 0, text.c_str(), -1, flags, 0, &rect);
  }

 private:
  VisualStyleApi api_;
  HTHEME theme_;
  HDC dc_;
};

StatusBar::StatusBar()
    : stylesSupported_(VisualStylesSupported(CurrentApi().getVersion())),
      stylesInUse_(stylesSupported_) {}

void StatusBar::SimpleMode(bool simple) {
  simpleMode_ = simple;
  Draw();
}

void StatusBar::SimpleText(const std::wstring& text) {
  simpleText_ = text;
  if (simpleMode_) Draw();
}

void StatusBar::AllowXPStyles(bool enabled) {
  if (enabled && !stylesSupported_) {
    throw StatusBarError(kErrorStylesNotSupported, ExecutableBaseName() + L".koraStatusBar",
                         L"XP Styles not supported on this Windows installation.");
  }
  stylesInUse_ = enabled;
}

void StatusBar::SizeGrip(bool shown) {
  sizeGrip_ = shown;
  Draw();
}

void StatusBar::AddPanel(UINT style, const std::wstring& text, int imageIndex, int minWidth,
                         bool spring, bool fitToContents, int itemData, const std::wstring& key,
                         const std::optional<PanelRef>& before) {
  if (PanelCount() >= kMaxPanels) {
    throw StatusBarError(kErrorTooManyPanels, ExecutableBaseName() + L".koraStatusBar",
                         L"Too many panels.");
  }
  size_t at = before ? static_cast<size_t>(PanelIndex(*before) - 1) : panels_.size();

  Panel panel;
  panel.key = key;
  panel.itemData = itemData;
  panel.text = text;
  panel.minWidth = minWidth;
  panel.spring = spring;
  panel.fitToContents = fitToContents;
  panel.style = style;
  Panel& added =
      *panels_.insert(panels_.begin() + static_cast<std::ptrdiff_t>(at), std::move(panel));
  if (spring) ClearOtherSprings(added);
  MeasurePanel(added);
  FetchIcon(added, imageIndex);
  LayoutPanels();
  Draw();
}

void StatusBar::Draw() {
  if (host_ == nullptr) return;
  HDC dc = host_->hdc();
  if (dc == nullptr) return;
  const VisualStyleApi& api = CurrentApi();
  RECT client{};
  GetClientRect(host_->hwnd(), &client);

  std::optional<Theme> theme;
  if (stylesInUse_) {
    if (HTHEME opened = api.openThemeData(host_->hwnd(), L"Status")) theme.emplace(api, opened, dc);
  }
  // A theme that cannot paint the bar is kept open but not used: this paint is classic.
  Theme* themed = theme && theme->Background(kPartBar, client, &client) ? &*theme : nullptr;
  if (themed == nullptr) FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));

  const RECT saved = client;
  LayoutPanels();
  if (!simpleMode_) {
    std::vector<PanelRect> rects;
    for (const Panel& panel : panels_) rects.push_back(panel.rect);
    std::vector<PanelRect> visible = VisiblePanelRects(rects, saved.right);
    const size_t count = panels_.size();
    // An OwnerDraw handler may remove panels while this loop runs.
    for (size_t i = 0; i < visible.size() && i < panels_.size(); ++i) {
      DrawPanel(panels_[i], ToRect(visible[i]), themed,
                i + 1 == count ? kPartGripperPane : kPartPane);
    }
  } else if (themed != nullptr) {
    themed->Background(kPartGripperPane, client, nullptr);
    themed->Text(kPartGripperPane, simpleText_ + L" ", kTextFlags,
                 themed->Content(kPartGripperPane, client));
  } else {
    RECT rect = client;
    DrawAnsiText(dc, simpleText_, rect, kTextFlags);
  }
  if (sizeGrip_) DrawSizeGrip(dc, client, saved, themed);
}

void StatusBar::DrawPanel(const Panel& panel, RECT rect, Theme* themed, int part) {
  HDC dc = host_->hdc();
  // Copies, because the OwnerDraw handler may change the panel.
  const std::wstring text = panel.text;
  const HICON icon = panel.icon.Get();
  const UINT style = panel.style;
  bool doDefault = true;
  auto raiseOwnerDraw = [&] {
    if ((style & kPanelOwnerDraw) == 0 || !OwnerDraw) return;
    int left = rect.left, top = rect.top, right = rect.right, bottom = rect.bottom;
    OwnerDraw(dc, left, top, right, bottom, doDefault);
    rect = {left, top, right, bottom};
  };
  auto drawIcon = [&] {
    PanelRect where = FromRect(rect);
    DrawIconEx(dc, PanelIconLeft(where), PanelIconTop(where, iconSize_, themed != nullptr), icon,
               iconSize_, iconSize_, 0, nullptr, DI_NORMAL);
  };

  if (themed != nullptr) {
    themed->Background(part, rect, nullptr);
    raiseOwnerDraw();
    if (!doDefault) return;
    RECT content = themed->Content(part, rect);
    if (icon != nullptr) {
      drawIcon();
      content.left = TextLeftAfterIcon(content.left, iconSize_);
    }
    themed->Text(kPartPane, text + L" ", icon != nullptr ? kIconTextFlags : kTextFlags, content);
    return;
  }
  if (icon == nullptr) {
    if ((style & kPanelOwnerDraw) != 0) {
      DrawStatusTextA(dc, &rect, "", style);
      raiseOwnerDraw();
    }
    if (doDefault) DrawStatusTextA(dc, &rect, ToAnsi(text).c_str(), style);
    return;
  }
  DrawStatusTextA(dc, &rect, "", style);
  raiseOwnerDraw();
  if (!doDefault) return;
  drawIcon();
  if (!text.empty()) {
    rect.left = TextLeftAfterIcon(rect.left, iconSize_);
    DrawAnsiText(dc, text, rect, kIconTextFlags);
  }
}

void StatusBar::DrawSizeGrip(HDC dc, const RECT& client, RECT saved, Theme* themed) {
  if (themed != nullptr) {
    RECT grip = client;
    grip.left = client.right - (client.bottom - client.top);
    themed->Background(kPartGripper, grip, nullptr);
    return;
  }
  // The grip is two glyphs of the Marlett font, a third larger than the host's font.
  HFONT original = host_->Font();
  LOGFONTW face{};
  GetObjectW(original, sizeof face, &face);
  wcscpy_s(face.lfFaceName, L"Marlett");
  face.lfHeight = MulDiv(face.lfHeight, 4, 3);
  face.lfWidth = 0;
  face.lfCharSet = DEFAULT_CHARSET;
  FontHandle marlett(CreateFontIndirectW(&face));
  host_->Font(marlett.Get());
  host_->ForeColor(GetSysColor(COLOR_BTNHIGHLIGHT));
  OffsetRect(&saved, -2, -1);
  DrawAnsiText(dc, L"o", saved, kGripFlags);
  host_->ForeColor(GetSysColor(COLOR_BTNSHADOW));
  DrawAnsiText(dc, L"p", saved, kGripFlags);
  host_->Font(original);
  host_->ForeColor(GetSysColor(COLOR_WINDOWTEXT));
}

void StatusBar::RemovePanel(const PanelRef& which) {
  panels_.erase(panels_.begin() + (PanelIndex(which) - 1));
  Draw();
}

void StatusBar::SetLeftTopOffsets(int left, int top) {
  leftOffset_ = left;
  topOffset_ = top;
}

void StatusBar::ImageList(HIMAGELIST images) {
  imageList_ = images;
  if (imageList_ != nullptr) iconSize_ = FirstImageHeight(imageList_);
}

void StatusBar::ImageList(ImageListObject& images) {
  imageList_ = nullptr;
  // The object's own errors are its business: each failed call simply yields nothing.
  bool failed = false;
  try {
    // Asking for a drawing makes a lazily built list create its native handle.
    images.DrawListImage(1, nullptr, 0, 0, 1);
  } catch (...) {
    failed = true;
  }
  try {
    imageList_ = images.hImageList();
  } catch (...) {
    failed = true;
  }
  // A list whose native handle does not yet hold all its images reports its size itself.
  bool askObject = false;
  if (!failed) {
    try {
      askObject = images.TypeName() == L"ImageList" &&
                  ImageList_GetImageCount(imageList_) != images.ListImagesCount();
    } catch (...) {
      askObject = false;
    }
  }
  if (imageList_ == nullptr) return;
  if (!askObject) {
    iconSize_ = FirstImageHeight(imageList_);
    return;
  }
  try {
    iconSize_ = images.ImageHeight();
  } catch (...) {
    // The icon size stays as it was.
  }
}

void StatusBar::Create(StatusBarHost& host) {
  host_ = &host;
  bool failed = false;
  auto read = [&failed](auto get) {
    try {
      get();
    } catch (...) {
      failed = true;
    }
  };
  read([&] { failed = failed || host.hdc() == nullptr; });
  read([&] { host.ScaleWidth(); });
  read([&] { host.ScaleHeight(); });
  if (failed) {
    host_ = nullptr;
    throw StatusBarError(kErrorInvalidHost, ExecutableBaseName() + L".cNoStatusBar",
                         L"Invalid object passed to Create.");
  }
  MeasureBarHeight();
}

HFONT StatusBar::Font() const { return host_ != nullptr ? host_->Font() : nullptr; }

void StatusBar::Font(HFONT font) {
  if (host_ == nullptr) return;
  host_->Font(font);
  MeasureBarHeight();
}

int StatusBar::Height() const { return HeightInTwips(barHeight_, ScreenDpi()); }

void StatusBar::GetPanelRect(const PanelRef& which, int& left, int& top, int& right,
                             int& bottom) const {
  const PanelRect& rect = At(which).rect;
  left = rect.left;
  top = rect.top;
  right = rect.right;
  bottom = rect.bottom;
}

std::wstring StatusBar::PanelKey(int index) const {
  if (index < 1 || index > PanelCount()) ThrowInvalidIndex(std::to_wstring(index));
  return panels_[static_cast<size_t>(index - 1)].key;
}

void StatusBar::PanelKey(int index, const PanelRef& which) {
  if (index < 1 || index > PanelCount()) ThrowInvalidIndex(std::to_wstring(index));
  panels_[static_cast<size_t>(index - 1)].key = which.Text();
}

bool StatusBar::PanelExists(const PanelRef& which) const { return Find(which).has_value(); }

int StatusBar::PanelIndex(const PanelRef& which) const {
  std::optional<int> position = Find(which);
  if (!position) ThrowInvalidIndex(which.Text());
  return *position;
}

const std::wstring& StatusBar::PanelText(const PanelRef& which) const { return At(which).text; }

void StatusBar::PanelText(const PanelRef& which, const std::wstring& text, bool draw) {
  At(which).text = text;
  if (draw) Draw();
}

bool StatusBar::PanelSpring(const PanelRef& which) const { return At(which).spring; }

void StatusBar::PanelSpring(const PanelRef& which, bool spring) {
  Panel& panel = At(which);
  if (panel.spring == spring) return;
  panel.spring = spring;
  ClearOtherSprings(panel);
  MeasurePanel(panel);
  LayoutPanels();
}

bool StatusBar::PanelFitToContents(const PanelRef& which) const { return At(which).fitToContents; }

void StatusBar::PanelFitToContents(const PanelRef& which, bool fitToContents) {
  Panel& panel = At(which);
  if (panel.fitToContents == fitToContents) return;
  panel.fitToContents = fitToContents;
  MeasurePanel(panel);
  LayoutPanels();
}

int StatusBar::PanelIcon(const PanelRef& which) const { return At(which).imageIndex; }

void StatusBar::PanelIcon(const PanelRef& which, int imageIndex) {
  FetchIcon(At(which), imageIndex);
  Draw();
}

HICON StatusBar::PanelhIcon(const PanelRef& which) const { return At(which).icon.Get(); }

void StatusBar::PanelhIcon(const PanelRef& which, HICON icon) {
  Panel& panel = At(which);
  // Handing back the icon the panel already owns must not destroy it.
  if (panel.icon.Get() != icon) panel.icon.Reset(icon);
  Draw();
}

UINT StatusBar::PanelStyle(const PanelRef& which) const { return At(which).style; }

void StatusBar::PanelStyle(const PanelRef& which, UINT style) {
  At(which).style = style;
  Draw();
}

int StatusBar::PanelMinWidth(const PanelRef& which) const { return At(which).minWidth; }

int StatusBar::PanelIdealWidth(const PanelRef& which) const { return At(which).idealWidth; }

void StatusBar::PanelIdealWidth(const PanelRef& which, int width) {
  At(which).idealWidth = width;
  LayoutPanels();
}

std::optional<int> StatusBar::Find(const PanelRef& which) const {
  return FindPanel(which, PanelCount(), [this](int position) -> const std::wstring& {
    return panels_[static_cast<size_t>(position - 1)].key;
  });
}

StatusBar::Panel& StatusBar::At(const PanelRef& which) {
  return panels_[static_cast<size_t>(PanelIndex(which) - 1)];
}

const StatusBar::Panel& StatusBar::At(const PanelRef& which) const {
  return panels_[static_cast<size_t>(PanelIndex(which) - 1)];
}

void StatusBar::FetchIcon(Panel& panel, int imageIndex) {
  panel.icon.Reset();
  panel.imageIndex = imageIndex;
  if (imageIndex >= 0) panel.icon.Reset(ImageList_GetIcon(imageList_, imageIndex, 0));
}

void StatusBar::ClearOtherSprings(const Panel& keep) {
  for (Panel& panel : panels_) {
    if (&panel != &keep) panel.spring = false;
  }
}

void StatusBar::MeasureBarHeight() {
  if (host_->hdc() == nullptr) return;
  RECT extent{};
  DrawAnsiText(host_->hdc(), L"Xy", extent, DT_CALCRECT);
  barHeight_ = extent.bottom - extent.top + 10;
}

// Before Create there is nothing to measure in: the ideal width stays as it was.
void StatusBar::MeasurePanel(Panel& panel) {
  if (host_ == nullptr || host_->hdc() == nullptr) return;
  RECT extent{};
  DrawAnsiText(host_->hdc(), panel.text, extent, DT_CALCRECT);
  panel.idealWidth = IdealPanelWidth(extent.right - extent.left, panel.minWidth);
}

void StatusBar::LayoutPanels() {
  if (host_ == nullptr || panels_.empty()) return;
  RECT client{};
  GetClientRect(host_->hwnd(), &client);
  std::vector<PanelSizing> sizing;
  for (const Panel& panel : panels_) {
    sizing.push_back(
        {panel.minWidth, panel.idealWidth, panel.fitToContents, panel.spring, panel.icon.Valid()});
  }
  std::vector<PanelRect> rects =
      ::parvox::LayoutPanels(sizing, FromRect(client), leftOffset_, topOffset_, iconSize_);
  for (size_t i = 0; i < panels_.size(); ++i) panels_[i].rect = rects[i];
}

}  // namespace parvox
