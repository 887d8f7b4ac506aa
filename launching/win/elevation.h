// ElevationPlatform on the real system: the process token's elevation type
// and the shell's "runas" start.
#pragma once

#include <windows.h>

#include "launching/elevation.h"

namespace tvn {

class Win32ElevationPlatform final : public ElevationPlatform {
 public:
  // `owner`: the window the consent prompt belongs to (none: the desktop).
  // Windows brings the prompt to the front only for a window in the
  // foreground; without one it may wait in the task bar.
  explicit Win32ElevationPlatform(HWND owner = nullptr) noexcept : owner_(owner) {}

  // OpenProcessToken and GetTokenInformation(TokenElevationType). Both exist
  // on Windows 2000, which answers the query with ERROR_INVALID_PARAMETER.
  bool ReadElevationType(std::uint32_t& type) override;
  // ShellExecuteExW with the verb "runas", the show state SW_SHOWNORMAL and
  // no error box of the shell's own; returns once the start is done (also
  // after the consent prompt). A refused prompt fails with ERROR_CANCELLED.
  bool StartElevated(const char16_t* file, const char16_t* parameters, const char16_t* directory) override;
  std::uint32_t LastError() override;

 private:
  HWND owner_;
};

}  // namespace tvn
