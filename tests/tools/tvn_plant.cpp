// tvn_plant.exe: a stand-in for a program that someone planted where the
// tool must never look (cscript.exe, cmd.exe, regedit.exe, notepad.exe ...).
// The tests copy it under such a name into the current directory or the
// executable's folder. When it runs it leaves a marker file "<its own path>.ran"
// holding its command line, and ends with exit code 0: the marker proves the
// planted program ran.
#include <windows.h>

#include <string>

int wmain() {
  wchar_t self[MAX_PATH * 2] = {};
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
  if (length == 0 || length >= MAX_PATH * 2) return 1;
  const std::wstring marker = std::wstring(self, length) + L".ran";
  HANDLE file = CreateFileW(marker.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  const wchar_t* line = GetCommandLineW();
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(bytes > 0 ? static_cast<std::size_t>(bytes) : 0, '\0');
  if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, line, -1, &utf8[0], bytes, nullptr, nullptr);
  if (!utf8.empty()) utf8.back() = '\n';  // the terminator becomes the line's end
  DWORD written = 0;
  WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}
