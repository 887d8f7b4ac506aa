#include "tests/tools/inspect/messages.h"

#include <cwchar>
#include <vector>

#include "base/win/unique_handle.h"

namespace tvn_inspect {

using tvn::UniqueHandleKernel;

bool Send(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &answer)) return false;
  if (result) *result = static_cast<LRESULT>(answer);
  return true;
}

namespace {

// Wine does not hand a synchronous WM_GETFONT or WM_GETICON from another
// process to the window: Wine 8 answers 0 with no error, Wine 10 fails the
// call. SendMessageCallbackW does reach it. The callback carries a sequence number, so a late answer to a
// query that timed out is ignored.
ULONG_PTR g_querySequence = 0;
bool g_queryDone = false;
LRESULT g_queryResult = 0;

void CALLBACK QueryAnswered(HWND, UINT, ULONG_PTR sequence, LRESULT result) {
  if (sequence != g_querySequence) return;
  g_queryDone = true;
  g_queryResult = result;
}

}  // namespace

bool Query(HWND window, UINT message, WPARAM wparam, LRESULT* result) {
  g_queryDone = false;
  if (!SendMessageCallbackW(window, message, wparam, 0, QueryAnswered, ++g_querySequence)) return false;
  const ULONGLONG deadline = GetTickCount64() + kSendTimeoutMs;
  MSG msg;
  while (!g_queryDone && GetTickCount64() < deadline) {
    // The callback runs inside PeekMessage; this program has no windows.
    PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
    if (!g_queryDone) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  if (!g_queryDone) return false;
  *result = g_queryResult;
  return true;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  int length = GetClassNameW(window, name, 256);
  return std::wstring(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

bool ClassIs(HWND window, const wchar_t* name) { return lstrcmpiW(ClassOf(window).c_str(), name) == 0; }

bool ReadText(HWND window, std::wstring* text) {
  LRESULT length = 0;
  if (!Send(window, WM_GETTEXTLENGTH, 0, 0, &length)) return false;
  if (length < 0) length = 0;
  if (length > (1 << 20)) length = 1 << 20;
  std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
  LRESULT copied = 0;
  if (!Send(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), &copied)) return false;
  if (copied < 0 || static_cast<std::size_t>(copied) >= buffer.size())
    copied = static_cast<LRESULT>(wcsnlen(buffer.data(), buffer.size() - 1));
  text->assign(buffer.data(), static_cast<std::size_t>(copied));
  return true;
}

std::wstring ExeName(DWORD pid) {
  UniqueHandleKernel process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!process) return std::wstring();
  wchar_t path[MAX_PATH * 2] = {};
  DWORD size = MAX_PATH * 2;
  if (!QueryFullProcessImageNameW(process.get(), 0, path, &size)) return std::wstring();
  std::wstring full(path, size);
  std::size_t slash = full.find_last_of(L"\\/");
  return slash == std::wstring::npos ? full : full.substr(slash + 1);
}

bool ElevationTypeOf(DWORD pid, DWORD* type) {
  UniqueHandleKernel process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  UniqueHandleKernel token;
  DWORD size = 0;
  return process && OpenProcessToken(process.get(), TOKEN_QUERY, token.put()) &&
         GetTokenInformation(token.get(), TokenElevationType, type, sizeof *type, &size);
}

}  // namespace tvn_inspect
