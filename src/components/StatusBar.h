// A status bar without a window of its own: it lays out panels and paints them into a host
// surface (a child window's device context) whenever asked, classically or through the theme.
#pragma once

#include <windows.h>
// The control and theme headers build on windows.h.
#include <commctrl.h>
#include <uxtheme.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "components/StatusBarLayout.h"
#include "components/UniqueHandle.h"

namespace parvox {

// The bar's misuse errors: a number, the source ("<exe>.koraStatusBar" or "<exe>.cNoStatusBar")
// and a description.
class StatusBarError : public std::runtime_error {
 public:
  StatusBarError(std::uint32_t number, std::wstring source, std::wstring description);
  std::uint32_t Number() const { return number_; }
  const std::wstring& Source() const { return source_; }
  const std::wstring& Description() const { return description_; }

 private:
  std::uint32_t number_;
  std::wstring source_;
  std::wstring description_;
};

// What the bar draws on. Reads may throw when the surface cannot supply them; `Create` turns
// that into its own error.
class StatusBarHost {
 public:
  virtual ~StatusBarHost() = default;
  virtual HWND hwnd() const = 0;
  // Used for all drawing and measuring; holds the font and text colour set below.
  virtual HDC hdc() const = 0;
  virtual int ScaleWidth() const = 0;
  virtual int ScaleHeight() const = 0;
  virtual HFONT Font() const = 0;
  virtual void Font(HFONT font) = 0;
  virtual void ForeColor(COLORREF color) = 0;
};

// A host over a window: keeps one device context of the window for its lifetime, with the
// font selected (the caller keeps owning the font) and transparent text.
class WindowSurface : public StatusBarHost {
 public:
  WindowSurface(HWND window, HFONT font);
  ~WindowSurface() override;
  WindowSurface(const WindowSurface&) = delete;
  WindowSurface& operator=(const WindowSurface&) = delete;

  // Gives the device context back while the window still exists; later draws do nothing.
  void Release();

  HWND hwnd() const override { return window_; }
  HDC hdc() const override { return dc_; }
  int ScaleWidth() const override;
  int ScaleHeight() const override;
  HFONT Font() const override { return font_; }
  void Font(HFONT font) override;
  void ForeColor(COLORREF color) override;

 private:
  RECT Client() const;
  HWND window_;
  HDC dc_;
  HFONT font_;
  HGDIOBJ originalFont_ = nullptr;
};

// An image-list object that owns its native list, as opposed to a bare list handle.
class ImageListObject {
 public:
  virtual ~ImageListObject() = default;
  virtual int ListImagesCount() const = 0;
  // Draws item `index` (counted from 1) of ListImages.
  virtual void DrawListImage(int index, HDC dc, int x, int y, int style) = 0;
  virtual HIMAGELIST hImageList() const = 0;
  virtual int ImageHeight() const = 0;
  virtual std::wstring TypeName() const = 0;
};

// The platform routines behind visual styles, replaceable so tests can make them fail.
struct VisualStyleApi {
  DWORD(WINAPI* getVersion)();
  HTHEME(WINAPI* openThemeData)(HWND, LPCWSTR);
  HRESULT(WINAPI* drawThemeBackground)(HTHEME, HDC, int, int, const RECT*, const RECT*);
  HRESULT(WINAPI* getThemeBackgroundContentRect)(HTHEME, HDC, int, int, const RECT*, RECT*);
  HRESULT(WINAPI* drawThemeText)(HTHEME, HDC, int, int, LPCWSTR, int, DWORD, DWORD, const RECT*);
  HRESULT(WINAPI* closeThemeData)(HTHEME);
};

// Installs `api` for bars made and drawn from now on; returns the previous table.
VisualStyleApi SetVisualStyleApi(const VisualStyleApi& api);
VisualStyleApi RealVisualStyleApi();

inline constexpr UINT kPanelOwnerDraw = 0x1000;  // SBT_OWNERDRAW

// Panels are numbered from 1. A member given a PanelRef that names no panel, or otherwise
// misused, throws StatusBarError and leaves the bar as it was, except that a failed Create
// drops the host. The bar owns its panel icons.
class StatusBar {
 public:
  // Raised while drawing each panel whose style has kPanelOwnerDraw, after its background and
  // border. The edges move the default content; clearing drawDefault skips it for this panel.
  using OwnerDrawEvent =
      std::function<void(HDC hdc, int& left, int& top, int& right, int& bottom, bool& drawDefault)>;

  StatusBar();
  StatusBar(const StatusBar&) = delete;
  StatusBar& operator=(const StatusBar&) = delete;

  bool SimpleMode() const { return simpleMode_; }
  void SimpleMode(bool simple);
  const std::wstring& SimpleText() const { return simpleText_; }
  void SimpleText(const std::wstring& text);
  // Whether visual styles are supported, whatever was last set.
  bool AllowXPStyles() const { return stylesSupported_; }
  void AllowXPStyles(bool enabled);
  bool SizeGrip() const { return sizeGrip_; }
  void SizeGrip(bool shown);

  void AddPanel(UINT style, const std::wstring& text, int imageIndex, int minWidth, bool spring,
                bool fitToContents, int itemData, const std::wstring& key,
                const std::optional<PanelRef>& before = std::nullopt);
  void Draw();
  void RemovePanel(const PanelRef& which);
  void SetLeftTopOffsets(int left, int top);
  // Icons already taken from an earlier list stay as they are.
  void ImageList(HIMAGELIST images);
  void ImageList(ImageListObject& images);
  // Binds the host, which must outlive the bar or the next Create.
  void Create(StatusBarHost& host);
  HFONT Font() const;
  void Font(HFONT font);
  // The bar's height in twips.
  int Height() const;

  int PanelCount() const { return static_cast<int>(panels_.size()); }
  void GetPanelRect(const PanelRef& which, int& left, int& top, int& right, int& bottom) const;
  std::wstring PanelKey(int index) const;
  void PanelKey(int index, const PanelRef& which);
  bool PanelExists(const PanelRef& which) const;
  int PanelIndex(const PanelRef& which) const;
  const std::wstring& PanelText(const PanelRef& which) const;
  // Draws the bar at once unless `draw` is false: the host then paints it when it next paints.
  void PanelText(const PanelRef& which, const std::wstring& text, bool draw = true);
  bool PanelSpring(const PanelRef& which) const;
  void PanelSpring(const PanelRef& which, bool spring);
  bool PanelFitToContents(const PanelRef& which) const;
  void PanelFitToContents(const PanelRef& which, bool fitToContents);
  int PanelIcon(const PanelRef& which) const;
  void PanelIcon(const PanelRef& which, int imageIndex);
  // The bar keeps owning the icon.
  HICON PanelhIcon(const PanelRef& which) const;
  // The bar takes ownership of `icon`.
  void PanelhIcon(const PanelRef& which, HICON icon);
  UINT PanelStyle(const PanelRef& which) const;
  void PanelStyle(const PanelRef& which, UINT style);
  int PanelMinWidth(const PanelRef& which) const;
  int PanelIdealWidth(const PanelRef& which) const;
  void PanelIdealWidth(const PanelRef& which, int width);

  OwnerDrawEvent OwnerDraw;

 private:
  struct Panel {
    std::wstring key;
    int itemData = 0;  // the caller's, kept with the panel
    int imageIndex = 0;
    IconHandle icon;
    std::wstring text;
    int minWidth = 0;
    int idealWidth = 0;
    bool spring = false;
    bool fitToContents = false;
    UINT style = 0;
    PanelRect rect;
  };
  class Theme;

  std::optional<int> Find(const PanelRef& which) const;
  Panel& At(const PanelRef& which);
  const Panel& At(const PanelRef& which) const;
  void FetchIcon(Panel& panel, int imageIndex);
  void MeasureBarHeight();
  void MeasurePanel(Panel& panel);
  void LayoutPanels();
  void DrawPanel(const Panel& panel, RECT rect, Theme* theme, int part);
  void DrawSizeGrip(HDC dc, const RECT& client, RECT saved, Theme* theme);
  void ClearOtherSprings(const Panel& keep);

  std::vector<Panel> panels_;
  bool sizeGrip_ = false;
  HIMAGELIST imageList_ = nullptr;
  int iconSize_ = 0;
  StatusBarHost* host_ = nullptr;
  int leftOffset_ = 0;
  int topOffset_ = 0;
  int barHeight_ = 0;
  bool simpleMode_ = false;
  std::wstring simpleText_;
  bool stylesSupported_;
  bool stylesInUse_;
};

}  // namespace parvox
