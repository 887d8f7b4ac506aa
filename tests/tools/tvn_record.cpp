// tvn_record.exe: a stand-in program for the tests to start through TVN.exe
// (ShellRun, StartProcess). It records how it was started and exits. It is a
// GUI-subsystem program, so starting it opens no console window.
//
// Usage: tvn_record.exe [ANY ARGUMENTS] [--sleep MS] [--exit N]
//   --sleep MS  wait MS milliseconds (0 to 600000) after recording, then
//               append a second line {"event":"end",...}; lets a test tell
//               whether its caller waited for the program's end
//   --exit N    end with exit code N (a signed 32-bit number; default 0)
// All arguments, these included, are recorded.
//
// Record file: the path in the environment variable TVN_RECORD_FILE, or else
// "tvn_record.log" in the temporary directory (GetTempPathW). Each line is
// one JSON object in UTF-8, appended with one WriteFile on a handle opened
// for appending only, so concurrent starts do not mix their lines:
// {"event":"start","pid":N,"parent_pid":N|null,"tick":N (GetTickCount64),
//  "exe":"C:\\...\\tvn_record.exe","command_line":"..." (GetCommandLineW),
//  "program":"..." (argument 0 as CommandLineToArgvW splits it),
//  "argv":["a","b c"] (the arguments after it),
//  "cwd":"C:\\" (GetCurrentDirectoryW),
//  "show":N (STARTUPINFO wShowWindow when STARTF_USESHOWWINDOW is set, else -1),
//  "startup_flags":N (STARTUPINFO dwFlags),
//  "env":{"TEMP":"..."|null,"TMP":...,"USERNAME":...,"USERPROFILE":...,
//         "SYSTEMDRIVE":...,"COMSPEC":...} (null: not set),
//  "elevation":N (its token's TokenElevationType: 1 default, 2 full, 3 limited;
//               null when the token cannot be read),
//  "option_error":"..." (only when --sleep or --exit had a bad value; ignored then)}
// With --sleep: {"event":"end","pid":N,"tick":N,"slept":MS} after the wait.
//
// Exit code: N from --exit (default 0); 3 when the record file cannot be
// opened or written.
#include <windows.h>

#include <shellapi.h>
#include <tlhelp32.h>

#include <cerrno>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "base/win/unique_handle.h"
#include "tests/tools/json_out.h"

namespace {

using tvn::UniqueHandleKernel;
using tvn_tools::JsonWriter;

constexpr int kExitNotRecorded = 3;
constexpr unsigned long long kMaxSleepMs = 600000;

// Decimal number in [min, max], a sign only where allowed, nothing before or
// after it.
bool ParseNumber(const wchar_t* text, bool allowSign, long long min, long long max, long long* out) {
  if (!(iswdigit(*text) || (allowSign && (*text == L'-' || *text == L'+')))) return false;
  wchar_t* end = nullptr;
  errno = 0;
  const long long value = wcstoll(text, &end, 10);
  if (errno != 0 || end == text || *end != 0 || value < min || value > max) return false;
  *out = value;
  return true;
}

bool Environment(const wchar_t* name, std::wstring* value) {
  DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return false;
  std::vector<wchar_t> buffer(size + 1, L'\0');
  DWORD length = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return false;
  value->assign(buffer.data(), length);
  return true;
}

std::wstring CurrentDirectory() {
  DWORD size = GetCurrentDirectoryW(0, nullptr);
  std::vector<wchar_t> buffer(size + 1, L'\0');
  DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
  return length > 0 && length < buffer.size() ? std::wstring(buffer.data(), length) : std::wstring();
}

std::wstring ModulePath() {
  std::vector<wchar_t> buffer(32768, L'\0');
  DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  return std::wstring(buffer.data(), length < buffer.size() ? length : 0);
}

bool ParentProcessId(DWORD* parent) {
  UniqueHandleKernel snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  const DWORD self = GetCurrentProcessId();
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == self) {
      *parent = entry.th32ParentProcessID;
      return true;
    }
  }
  return false;
}

bool ElevationType(DWORD* type) {
  UniqueHandleKernel token;
  DWORD size = 0;
  return OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) &&
         GetTokenInformation(token.get(), TokenElevationType, type, sizeof *type, &size);
}

std::wstring RecordPath() {
  std::wstring path;
  if (Environment(L"TVN_RECORD_FILE", &path) && !path.empty()) return path;
  wchar_t temp[MAX_PATH + 1] = {};
  DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  path.assign(temp, length <= MAX_PATH ? length : 0);
  return path + L"tvn_record.log";
}

// Appends one line with a single WriteFile on an append-only handle.
bool AppendLine(const std::wstring& path, const std::string& json) {
  UniqueHandleKernel file(CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::string line = json + "\n";
  DWORD written = 0;
  return WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
         written == line.size();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const wchar_t* commandLine = GetCommandLineW();
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(commandLine, &argc);
  tvn::UniqueLocal argvOwner(reinterpret_cast<HLOCAL>(argv));

  long long sleepMs = -1;
  long long exitCode = 0;
  std::string optionError;
  for (int i = 1; argv && i + 1 < argc; ++i) {
    const std::wstring arg = argv[i];
    long long value = 0;
    if (arg == L"--sleep") {
      if (ParseNumber(argv[i + 1], false, 0, static_cast<long long>(kMaxSleepMs), &value)) {
        sleepMs = value;
      } else {
        optionError += optionError.empty() ? "bad --sleep value" : "; bad --sleep value";
      }
    } else if (arg == L"--exit") {
      if (ParseNumber(argv[i + 1], true, -2147483648LL, 2147483647LL, &value)) {
        exitCode = value;
      } else {
        optionError += optionError.empty() ? "bad --exit value" : "; bad --exit value";
      }
    }
  }

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);

  DWORD parent = 0;
  const bool parentKnown = ParentProcessId(&parent);
  DWORD elevation = 0;
  const bool elevationKnown = ElevationType(&elevation);
  JsonWriter json;
  json.BeginObject().Key("event").Ascii("start").Key("pid").UInt(GetCurrentProcessId());
  json.Key("parent_pid").UIntOrNull(parentKnown, parent).Key("tick").UInt(GetTickCount64());
  json.Key("exe").String(ModulePath()).Key("command_line").String(commandLine);
  json.Key("program").String(argv && argc > 0 ? argv[0] : nullptr).Key("argv").BeginArray();
  for (int i = 1; argv && i < argc; ++i) json.String(argv[i]);
  json.EndArray().Key("cwd").String(CurrentDirectory());
  json.Key("show").Int((startup.dwFlags & STARTF_USESHOWWINDOW) ? static_cast<long long>(startup.wShowWindow) : -1);
  json.Key("startup_flags").UInt(startup.dwFlags).Key("env").BeginObject();
  const char* const names[] = {"TEMP", "TMP", "USERNAME", "USERPROFILE", "SYSTEMDRIVE", "COMSPEC"};
  for (const char* name : names) {
    const std::wstring wide(name, name + std::strlen(name));
    std::wstring value;
    json.Key(name);
    if (Environment(wide.c_str(), &value)) {
      json.String(value);
    } else {
      json.Null();
    }
  }
  json.EndObject().Key("elevation").UIntOrNull(elevationKnown, elevation);
  if (!optionError.empty()) json.Key("option_error").Ascii(optionError.c_str());
  json.EndObject();

  const std::wstring path = RecordPath();
  if (!AppendLine(path, json.str())) return kExitNotRecorded;

  if (sleepMs >= 0) {
    Sleep(static_cast<DWORD>(sleepMs));
    JsonWriter end;
    end.BeginObject().Key("event").Ascii("end").Key("pid").UInt(GetCurrentProcessId());
    end.Key("tick").UInt(GetTickCount64()).Key("slept").Int(sleepMs).EndObject();
    if (!AppendLine(path, end.str())) return kExitNotRecorded;
  }
  return static_cast<int>(exitCode);
}
