#include "base/win/error_box.h"

#include "base/error_text.h"
#include "base/win/unique_handle.h"
#include "base/win/wide.h"

namespace tvn {

void ShowError(HWND owner, UINT kind, bool withSystemText, bool withErrorCode, const wchar_t* text) {
  const DWORD code = GetLastError();
  const UINT icon = IconFlagForKind(kind);

  Text systemText;
  bool haveSystemText = false;
  if (withSystemText) {
    // System texts may hold inserts ("%1 is not a valid Win32 application."):
    // there are no arguments for them, so they are taken as they stand.
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    UniqueLocal owned(buffer);
    if (length != 0 && buffer != nullptr) systemText = ToText(buffer, length);
    haveSystemText = true;
  }
  Text callerText;
  if (text) callerText = ToText(text);

  Text joined = ComposeErrorText(text ? &callerText : nullptr, withErrorCode, static_cast<std::int32_t>(code),
                                 haveSystemText ? &systemText : nullptr);
  // A box without owner is a fatal report that may come while the splash,
  // which takes the foreground when it appears, is still being made: keep the
  // box in front of it, or it would sit hidden behind the splash.
  const UINT placement = owner == nullptr ? (MB_SETFOREGROUND | MB_TOPMOST) : 0;
  MessageBoxW(owner, W(joined), reinterpret_cast<const wchar_t*>(kProductCaption), icon | placement);
}

}  // namespace tvn
