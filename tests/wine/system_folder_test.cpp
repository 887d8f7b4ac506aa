// The system folder and the library search path of the process.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/win/unique_handle.h"
#include "base/win/wide.h"
#include "description/win/handle_factory.h"
#include "launching/win/system_folder.h"
#include "tests/wine/support/files.h"

namespace tvn {
namespace {

TEST(SystemFolder, IsTheSystemDirectory) {
  const std::wstring expected = tvn_test::SystemFolder();
  ASSERT_FALSE(expected.empty());
  SetLastError(0xdeadbeef);
  const Text folder = SystemFolder();
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(std::wstring(W(folder)), expected);
}

// A library planted in the current directory is found by a bare name until
// the current directory leaves the search path. (This test changes the
// search path of its own process; CTest runs every test in its own process.)
TEST(SystemFolder, ThePlantedLibraryInTheCurrentDirectoryIsNoLongerFound) {
  const std::wstring planted = tvn_test::BesideModule(L"tvn_plant_dll.dll");
  if (!tvn_test::Exists(planted)) GTEST_SKIP() << "tvn_plant_dll.dll is not built";
  tvn_test::TempFolder folder(L"tvn dll search");
  ASSERT_TRUE(folder.created());
  for (const wchar_t* name : {L"tvn_probe_before.dll", L"tvn_probe_after.dll"}) {
    ASSERT_TRUE(CopyFileW(planted.c_str(), (folder / name).c_str(), FALSE));
  }
  tvn_test::ScopedCurrentDirectory here(folder.path());
  ASSERT_TRUE(here.changed());

  const UniqueModule before(LoadLibraryW(L"tvn_probe_before.dll"));
  EXPECT_NE(before.get(), nullptr) << "the current directory is searched by default";

  SetLastError(1234);
  EXPECT_TRUE(RemoveCurrentDirectoryFromLibrarySearch());
  EXPECT_EQ(GetLastError(), 1234u) << "the last error is kept";
  SetLastError(0);
  const UniqueModule after(LoadLibraryW(L"tvn_probe_after.dll"));
  const DWORD code = GetLastError();
  EXPECT_EQ(after.get(), nullptr) << "a library in the current directory must not be found by its bare name";
  EXPECT_EQ(code, static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

// Icons named by a bare file name come from the system's folders: one that
// only the executable's folder holds is not read, and regedit.exe, which
// lies in the Windows folder alone, still gives its icon.
TEST(SystemFolder, BareIconFilesAreNeverReadFromTheExecutablesFolder) {
  const std::wstring planted = tvn_test::BesideModule(L"tvn_icon_plant.exe");
  ASSERT_TRUE(CopyFileW(tvn_test::BesideModule(L"TVN.exe").c_str(), planted.c_str(), FALSE));
  WindowsHandleFactory factory;
  const IconHandle plantedIcon = factory.MakeIcon(u"tvn_icon_plant.exe", 0);
  const IconHandle fullPath = factory.MakeIcon(ToText(planted.c_str()), 0);
  const IconHandle editor = factory.MakeIcon(u"regedit.exe", 0);
  EXPECT_EQ(plantedIcon, 0u);
  EXPECT_NE(fullPath, 0u) << "the planted file has an icon";
  EXPECT_NE(editor, 0u);
  for (IconHandle icon : {plantedIcon, fullPath, editor}) factory.DestroyIcon(icon);
  DeleteFileW(planted.c_str());
}

}  // namespace
}  // namespace tvn
