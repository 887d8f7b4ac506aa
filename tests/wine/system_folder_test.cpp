// The system folder and the library search path of the process.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/win/wide.h"
#include "launching/win/system_folder.h"

namespace tvn {
namespace {

std::wstring ModuleDir() {
  wchar_t buffer[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::wstring path = buffer;
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

TEST(SystemFolder, IsTheSystemDirectory) {
  wchar_t expected[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryW(expected, MAX_PATH), 0u);
  SetLastError(0xdeadbeef);
  const Text folder = SystemFolder();
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(std::wstring(W(folder)), std::wstring(expected));
}

// A library planted in the current directory is found by a bare name until
// the current directory leaves the search path. (This test changes the
// search path of its own process; CTest runs every test in its own process.)
TEST(SystemFolder, ThePlantedLibraryInTheCurrentDirectoryIsNoLongerFound) {
  const std::wstring planted = ModuleDir() + L"tvn_plant_dll.dll";
  if (GetFileAttributesW(planted.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "tvn_plant_dll.dll is not built";
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"tvn dll search " + std::to_wstring(GetCurrentProcessId()) + L"\\";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  for (const wchar_t* name : {L"tvn_probe_before.dll", L"tvn_probe_after.dll"}) {
    ASSERT_TRUE(CopyFileW(planted.c_str(), (folder + name).c_str(), FALSE));
  }
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));

  HMODULE before = LoadLibraryW(L"tvn_probe_before.dll");
  EXPECT_NE(before, nullptr) << "the current directory is searched by default";
  if (before != nullptr) FreeLibrary(before);

  SetLastError(1234);
  EXPECT_TRUE(RemoveCurrentDirectoryFromLibrarySearch());
  EXPECT_EQ(GetLastError(), 1234u) << "the last error is kept";
  SetLastError(0);
  HMODULE after = LoadLibraryW(L"tvn_probe_after.dll");
  const DWORD code = GetLastError();
  EXPECT_EQ(after, nullptr) << "a library in the current directory must not be found by its bare name";
  EXPECT_EQ(code, static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  if (after != nullptr) FreeLibrary(after);

  SetCurrentDirectoryW(previous);
  for (const wchar_t* name :
       {L"tvn_probe_before.dll", L"tvn_probe_after.dll", L"tvn_probe_before.dll.ran", L"tvn_probe_after.dll.ran"}) {
    DeleteFileW((folder + name).c_str());
  }
  RemoveDirectoryW(folder.c_str());
}

}  // namespace
}  // namespace tvn
