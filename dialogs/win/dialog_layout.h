// DialogLayout bound to the window system, and the handlers that every
// resizable dialog calls from its size hooks.
#pragma once

#include <windows.h>

#include "dialogs/layout.h"

namespace tvn {

// GetDlgItem, GetWindowRect, GetClientRect, ScreenToClient, GetSystemMetrics,
// SetWindowPos and InvalidateRgn.
class Win32LayoutOps final : public LayoutWindowOps {
 public:
  WindowId ChildById(WindowId dialog, int controlId) override;
  bool WindowRect(WindowId window, LayoutRect& rect) override;
  bool ClientRect(WindowId window, LayoutRect& rect) override;
  bool ScreenToClient(WindowId window, std::int32_t& x, std::int32_t& y) override;
  std::int32_t ScreenWidth() override;
  std::int32_t ScreenHeight() override;
  bool Place(WindowId window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) override;
  bool InvalidateAll(WindowId window) override;
  std::uint32_t LastError() override;
  void SetLastError(std::uint32_t code) override;
};

// A DialogLayout on the real window system, with HWND-typed operations.
class Win32DialogLayout : public DialogLayout {
 public:
  Win32DialogLayout() : DialogLayout(ops_) {}

  // Bind(dialog, -1, -1, -1, -1): the template size, centred on the primary screen.
  void BindCentred(HWND dialog) { Bind(reinterpret_cast<WindowId>(dialog), -1, -1, -1, -1); }

  // WM_SIZE: Resize with the new client size, whatever the kind of change.
  void OnSize(int width, int height) { Resize(width, height); }

  // WM_GETMINMAXINFO: the smallest tracking size is the opening window size;
  // the other members keep what the system put in them. Before the first
  // Bind (0 x 0) nothing is changed.
  void OnMinTrackSize(MINMAXINFO& info) const;

 private:
  Win32LayoutOps ops_;
};

}  // namespace tvn
