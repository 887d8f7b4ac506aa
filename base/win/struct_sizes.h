// The platform records whose size field the tool fills in, and the sizes it
// hands over. Every size field is set from sizeof of the record (or from the
// constant below), so these checks hold the sizes to what each system
// expects: the 32-bit executable, the one that runs on Windows 2000 and later,
// passes the sizes of the 32-bit records, and its twin those of the 64-bit
// ones. A header change that altered one would stop the build here.
#pragma once

// windows.h must come first: the other headers build on it.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shobjidl.h>

#include <cstddef>

namespace tvn {

// The size of an OPENFILENAMEW without the fields that Windows 2000 added at
// its end (the record up to and including lpTemplateName), which every system
// from Windows NT 4.0 on accepts. OPENFILENAME_SIZE_VERSION_400W gives the
// same number but is not a constant expression, so it cannot be checked here.
constexpr DWORD kOpenFileNameSize400 = static_cast<DWORD>(offsetof(OPENFILENAMEW, lpTemplateName) + sizeof(LPCWSTR));

#if defined(_M_IX86) || defined(__i386__)
static_assert(sizeof(OSVERSIONINFOW) == 276, "OSVERSIONINFOW (GetVersionExW) must be 276 bytes");
static_assert(sizeof(INITCOMMONCONTROLSEX) == 8, "INITCOMMONCONTROLSEX must be 8 bytes");
static_assert(sizeof(STARTUPINFOW) == 68, "STARTUPINFOW must be 68 bytes in 32-bit code");
static_assert(sizeof(SHELLEXECUTEINFOW) == 60, "SHELLEXECUTEINFOW must be 60 bytes in 32-bit code");
static_assert(sizeof(MENUITEMINFOW) == 48, "MENUITEMINFOW must be 48 bytes in 32-bit code");
static_assert(sizeof(CMINVOKECOMMANDINFO) == 36, "CMINVOKECOMMANDINFO must be 36 bytes in 32-bit code");
static_assert(kOpenFileNameSize400 == 76, "the NT 4.0 OPENFILENAMEW must be 76 bytes in 32-bit code");
#elif defined(_M_X64) || defined(__x86_64__)
static_assert(sizeof(OSVERSIONINFOW) == 276, "OSVERSIONINFOW (GetVersionExW) must be 276 bytes");
static_assert(sizeof(INITCOMMONCONTROLSEX) == 8, "INITCOMMONCONTROLSEX must be 8 bytes");
static_assert(sizeof(STARTUPINFOW) == 104, "STARTUPINFOW must be 104 bytes in 64-bit code");
static_assert(sizeof(SHELLEXECUTEINFOW) == 112, "SHELLEXECUTEINFOW must be 112 bytes in 64-bit code");
static_assert(sizeof(MENUITEMINFOW) == 80, "MENUITEMINFOW must be 80 bytes in 64-bit code");
static_assert(sizeof(CMINVOKECOMMANDINFO) == 56, "CMINVOKECOMMANDINFO must be 56 bytes in 64-bit code");
static_assert(kOpenFileNameSize400 == 136, "the NT 4.0 OPENFILENAMEW must be 136 bytes in 64-bit code");
#endif

}  // namespace tvn
