#include "launching/win/elevation.h"

#include <shellapi.h>

#include "base/win/unique_handle.h"

namespace tvn {

namespace {

// TokenElevationType of TOKEN_INFORMATION_CLASS: the Windows 2000 headers
// that the product is compiled against do not name it.
constexpr int kTokenElevationTypeClass = 18;

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

}  // namespace

bool Win32ElevationPlatform::ReadElevationType(std::uint32_t& type) {
  UniqueHandleKernel token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
  DWORD value = 0;
  DWORD size = 0;
  if (!GetTokenInformation(token.get(), static_cast<TOKEN_INFORMATION_CLASS>(kTokenElevationTypeClass), &value,
                           sizeof(value), &size)) {
    return false;  // the owner keeps the query's code
  }
  type = value;
  SetLastError(0);
  return true;
}

bool Win32ElevationPlatform::StartElevated(const char16_t* file, const char16_t* parameters,
                                           const char16_t* directory) {
  SHELLEXECUTEINFOW execute = {};
  execute.cbSize = sizeof(execute);
  // SEE_MASK_FLAG_DDEWAIT: the start is complete when the call returns, for
  // the caller ends right after it.
  execute.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_UNICODE | SEE_MASK_FLAG_DDEWAIT;
  execute.hwnd = owner_;
  execute.lpVerb = L"runas";
  execute.lpFile = Wide(file);
  execute.lpParameters = Wide(parameters);
  execute.lpDirectory = Wide(directory);
  execute.nShow = SW_SHOWNORMAL;
  SetLastError(0);
  if (!ShellExecuteExW(&execute)) {
    // As in ShellRun: a failure without a code takes the shell's result.
    if (GetLastError() == 0) {
      const INT_PTR result = reinterpret_cast<INT_PTR>(execute.hInstApp);
      SetLastError(result > 0 && result <= 32 ? static_cast<DWORD>(result) : ERROR_GEN_FAILURE);
    }
    return false;
  }
  SetLastError(0);
  return true;
}

std::uint32_t Win32ElevationPlatform::LastError() { return GetLastError(); }

}  // namespace tvn
