#include "base/win/startup_trace.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "base/win/new_file.h"
#include "base/win/unique_handle.h"

namespace tvn {

namespace {

constexpr wchar_t kTraceVariable[] = L"TVN_TRACE";
constexpr wchar_t kTraceFileName[] = L"TVN_trace.log";

// Written once by StartTrace before any other thread exists, read-only after.
bool g_enabled = false;
wchar_t g_path[MAX_PATH + 1] = {};  // the file; longer paths leave the trace off
LARGE_INTEGER g_frequency = {};

// Appends the decimal digits of `value` at `out`; returns the new end.
char* AppendNumber(char* out, std::uint64_t value) {
  char digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count > 0) *out++ = digits[--count];
  return out;
}

std::uint64_t Microseconds(LARGE_INTEGER counter) {
  const std::uint64_t ticks = static_cast<std::uint64_t>(counter.QuadPart);
  const std::uint64_t frequency = static_cast<std::uint64_t>(g_frequency.QuadPart);
  return ticks / frequency * 1000000u + ticks % frequency * 1000000u / frequency;
}

}  // namespace

void StartTrace() noexcept {
  const DWORD saved = GetLastError();
  wchar_t value[4] = {};
  const DWORD length = GetEnvironmentVariableW(kTraceVariable, value, 4);
  if (length == 1 && value[0] == L'1' && QueryPerformanceFrequency(&g_frequency) && g_frequency.QuadPart > 0) {
    const DWORD dirLength = GetTempPathW(MAX_PATH + 1, g_path);
    const std::size_t nameLength = sizeof(kTraceFileName) / sizeof(wchar_t);  // terminator included
    // A temporary path that does not fit leaves the trace off rather than cut.
    if (dirLength > 0 && dirLength + nameLength <= MAX_PATH + 1) {
      std::memcpy(g_path + dirLength, kTraceFileName, sizeof(kTraceFileName));
      g_enabled = true;
    }
  }
  SetLastError(saved);
  TracePhase("entry");
}

void TracePhase(const char* phase) noexcept {
  if (!g_enabled || phase == nullptr) return;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  const DWORD saved = GetLastError();

  char line[96];
  char* end = AppendNumber(line, Microseconds(now));
  *end++ = ' ';
  end = AppendNumber(end, GetCurrentProcessId());
  *end++ = ' ';
  const std::size_t room = sizeof(line) - static_cast<std::size_t>(end - line) - 2;
  const std::size_t phaseLength = strnlen(phase, room);
  std::memcpy(end, phase, phaseLength);
  end += phaseLength;
  *end++ = '\r';
  *end++ = '\n';

  // One open, one append, one close per line: lines of concurrent processes
  // and threads never interleave, and no handle outlives the line. The
  // temporary folder may be shared: a name that another user made a link (a
  // reparse point, opened as itself, or a second hard link to some other
  // file) gets no line, and only ever appending, the trace cannot cut a file.
  // The query of the links needs FILE_READ_ATTRIBUTES.
  UniqueHandleKernel file(CreateFileW(g_path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (file && IsPlainSingleFile(file.get())) {
    DWORD written = 0;
    WriteFile(file.get(), line, static_cast<DWORD>(end - line), &written, nullptr);
  }
  SetLastError(saved);
}

bool TraceEnabled() noexcept { return g_enabled; }

}  // namespace tvn
