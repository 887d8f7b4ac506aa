// The layout engine of the resizable dialogs: one anchor rule per axis for
// every registered control, applied each time the dialog's client area
// changes size.
//
// The arithmetic and the entry list are platform-free; the platform calls go
// through LayoutWindowOps, so the engine runs as well against a fake window
// system as against the real one (dialogs/win/dialog_layout.h).
#pragma once

#include <cstdint>
#include <vector>

namespace tvn {

// Rule for one axis of one control. Values other than the four named ones
// (0 included) act as AnchorFixed.
enum AnchorRule : std::int16_t {
  AnchorCentre = 1,   // size kept, centred in the new extent, never before the registered position
  AnchorFixed = 2,    // position and size kept
  AnchorMove = 3,     // size kept, follows the far edge, never before the registered position
  AnchorStretch = 4,  // position kept, far edge follows the dialog's, never narrower than registered
};

// One axis of a control after a resize.
struct AxisPlacement {
  std::int32_t position;
  std::int32_t extent;
};

// Applies `rule` to a control registered at `position` with `extent` when the
// client extent was `initialClient` and is now `newClient`. Halves are taken
// separately and truncated toward zero (newClient / 2 - extent / 2). Results
// beyond the 32-bit range are clamped to it.
AxisPlacement PlaceOnAxis(AnchorRule rule, std::int32_t position, std::int32_t extent, std::int32_t newClient,
                          std::int32_t initialClient);

// The origin that centres `size` on `screen`: screen / 2 - size / 2.
std::int32_t CentredOrigin(std::int32_t screen, std::int32_t size);

using WindowId = std::uintptr_t;  // an opaque window handle; 0 is none

struct LayoutRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
};

struct LayoutSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// The window-system calls the engine makes. Each call that can fail returns
// false and leaves its code for LastError().
class LayoutWindowOps {
 public:
  virtual ~LayoutWindowOps() = default;
  virtual WindowId ChildById(WindowId dialog, int controlId) = 0;                      // GetDlgItem; 0 on failure
  virtual bool WindowRect(WindowId window, LayoutRect& rect) = 0;                      // GetWindowRect (screen)
  virtual bool ClientRect(WindowId window, LayoutRect& rect) = 0;                      // GetClientRect
  virtual bool ScreenToClient(WindowId window, std::int32_t& x, std::int32_t& y) = 0;  // ScreenToClient
  virtual std::int32_t ScreenWidth() = 0;                                              // SM_CXSCREEN
  virtual std::int32_t ScreenHeight() = 0;                                             // SM_CYSCREEN
  // SetWindowPos(window, no insert-after, x, y, width, height, SWP_NOZORDER).
  virtual bool Place(WindowId window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) = 0;
  virtual bool InvalidateAll(WindowId window) = 0;  // InvalidateRgn(window, none, FALSE)
  virtual std::uint32_t LastError() = 0;
  virtual void SetLastError(std::uint32_t code) = 0;
};

// One registered control.
struct LayoutEntry {
  WindowId control = 0;  // 0 when the id was not found: never moved
  std::int32_t x = 0;    // registered top-left corner, client coordinates
  std::int32_t y = 0;
  std::int32_t width = 0;  // registered outer size
  std::int32_t height = 0;
  AnchorRule horizontal = AnchorFixed;
  AnchorRule vertical = AnchorFixed;
};

// The layout of one resizable dialog kind. Unbound (all zero, no entries) at
// construction; Bind when the dialog opens, Release when it closes.
class DialogLayout {
 public:
  explicit DialogLayout(LayoutWindowOps& ops) : ops_(&ops) {}
  DialogLayout(const DialogLayout&) = delete;
  DialogLayout& operator=(const DialogLayout&) = delete;

  // Starts an empty entry list, records the dialog's window and client
  // rectangles and places the window. -1 for x or y centres the window on the
  // primary screen; -1 for width or height keeps the current one.
  void Bind(WindowId dialog, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height);

  // Registers a control of the bound dialog, in front of the earlier ones.
  // The last error ends as 0, or the code of the call that failed (an unknown
  // id still gives an entry, one without a control). Does nothing unbound.
  void AddControl(int controlId, AnchorRule horizontal, AnchorRule vertical);

  // Lays every entry with a control out for the new client size, newest entry
  // first, then invalidates the dialog. A failing call does not stop the walk;
  // the last error ends as the last failure's code, or 0. Does nothing unbound.
  void Resize(std::int32_t clientWidth, std::int32_t clientHeight);

  // The window size (frame included) read at the last Bind; 0 x 0 before any.
  LayoutSize InitialWindowSize() const;

  // Frees every entry; Resize then does nothing until the next Bind.
  void Release();

  bool bound() const { return bound_; }
  WindowId dialog() const { return dialog_; }
  const std::vector<LayoutEntry>& entries() const { return entries_; }  // newest first
  const LayoutRect& initialWindow() const { return initialWindow_; }
  const LayoutRect& initialClient() const { return initialClient_; }

 private:
  LayoutWindowOps* ops_;
  std::vector<LayoutEntry> entries_;
  LayoutRect initialWindow_;
  LayoutRect initialClient_;
  WindowId dialog_ = 0;
  bool bound_ = false;
};

}  // namespace tvn
