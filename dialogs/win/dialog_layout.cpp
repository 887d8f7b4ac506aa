#include "dialogs/win/dialog_layout.h"

namespace tvn {

namespace {

HWND ToWindow(WindowId window) { return reinterpret_cast<HWND>(window); }

void CopyRect(const RECT& from, LayoutRect& to) {
  to.left = from.left;
  to.top = from.top;
  to.right = from.right;
  to.bottom = from.bottom;
}

}  // namespace

WindowId Win32LayoutOps::ChildById(WindowId dialog, int controlId) {
  return reinterpret_cast<WindowId>(GetDlgItem(ToWindow(dialog), controlId));
}

bool Win32LayoutOps::WindowRect(WindowId window, LayoutRect& rect) {
  RECT r = {};
  if (!GetWindowRect(ToWindow(window), &r)) return false;
  CopyRect(r, rect);
  return true;
}

bool Win32LayoutOps::ClientRect(WindowId window, LayoutRect& rect) {
  RECT r = {};
  if (!GetClientRect(ToWindow(window), &r)) return false;
  CopyRect(r, rect);
  return true;
}

bool Win32LayoutOps::ScreenToClient(WindowId window, std::int32_t& x, std::int32_t& y) {
  POINT point = {x, y};
  if (!::ScreenToClient(ToWindow(window), &point)) return false;
  x = point.x;
  y = point.y;
  return true;
}

std::int32_t Win32LayoutOps::ScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }

std::int32_t Win32LayoutOps::ScreenHeight() { return GetSystemMetrics(SM_CYSCREEN); }

bool Win32LayoutOps::Place(WindowId window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
  return SetWindowPos(ToWindow(window), nullptr, x, y, width, height, SWP_NOZORDER) != FALSE;
}

bool Win32LayoutOps::InvalidateAll(WindowId window) { return InvalidateRgn(ToWindow(window), nullptr, FALSE) != FALSE; }

std::uint32_t Win32LayoutOps::LastError() { return GetLastError(); }

void Win32LayoutOps::SetLastError(std::uint32_t code) { ::SetLastError(code); }

void Win32DialogLayout::OnGetMinMaxInfo(LPARAM lParam) const {
  MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lParam);
  if (info == nullptr) return;
  const LayoutSize size = InitialWindowSize();
  // Before the first Bind the size is 0 x 0: the system's own minimum stays.
  if (size.width <= 0 || size.height <= 0) return;
  info->ptMinTrackSize.x = size.width;
  info->ptMinTrackSize.y = size.height;
}

}  // namespace tvn
