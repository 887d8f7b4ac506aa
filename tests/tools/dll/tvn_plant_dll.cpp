// tvn_plant_dll.dll: a stand-in for a library that someone planted beside
// the executable under a system library's name (userenv.dll). Loading it
// leaves a marker file "<its own path>.ran" (the name of the process that
// loaded it on one line); it exports nothing. The marker proves the planted
// library was loaded.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t self[MAX_PATH * 2] = {};
  const DWORD length = GetModuleFileNameW(instance, self, MAX_PATH * 2 - 5);
  if (length == 0 || length >= MAX_PATH * 2 - 5) return TRUE;
  lstrcatW(self, L".ran");
  HANDLE file = CreateFileW(self, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return TRUE;
  char process[MAX_PATH * 2] = {};
  DWORD size = GetModuleFileNameA(nullptr, process, MAX_PATH * 2 - 2);
  if (size >= MAX_PATH * 2 - 2) size = 0;
  process[size++] = '\n';
  DWORD written = 0;
  WriteFile(file, process, size, &written, nullptr);
  CloseHandle(file);
  return TRUE;
}
