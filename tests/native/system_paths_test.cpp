#include "base/system_paths.h"

#include <gtest/gtest.h>

#include "base/error_text.h"

namespace tvn {
namespace {

TEST(SystemPaths, ProgramsAreJoinedToTheirFolderWithOneBackslash) {
  EXPECT_EQ(PathInFolder(u"C:\\WINDOWS\\system32", u"cscript.exe"), u"C:\\WINDOWS\\system32\\cscript.exe");
  EXPECT_EQ(PathInFolder(u"C:\\WINDOWS\\system32\\", u"cmd.exe"), u"C:\\WINDOWS\\system32\\cmd.exe");
  EXPECT_EQ(PathInFolder(u"C:\\Win Dir\\System32", u"Userenv.dll"), u"C:\\Win Dir\\System32\\Userenv.dll");
  // No folder, no file, or a result that does not fit a path buffer: nothing,
  // never a bare name or a cut path.
  EXPECT_EQ(PathInFolder(u"", u"cmd.exe"), u"");
  EXPECT_EQ(PathInFolder(u"C:\\WINDOWS", u""), u"");
  const Text folder(kPathUnits - 9, u'd');
  EXPECT_EQ(PathInFolder(folder, u"cmd.exe").size(), kPathUnits - 1);
  EXPECT_EQ(PathInFolder(folder, u"cmd.exe1"), u"");
}

TEST(SystemPaths, OnlyFullyQualifiedPathsCount) {
  for (const char16_t* path : {u"C:\\WINDOWS\\system32\\cmd.exe", u"d:/tools/cmd.exe", u"\\\\server\\share\\cmd.exe"}) {
    EXPECT_TRUE(IsFullyQualifiedPath(path)) << ToUtf8(path);
  }
  for (const char16_t* path : {u"cmd.exe", u"C:cmd.exe", u"\\cmd.exe", u".\\cmd.exe", u"C:", u"", u"\"C:\\cmd.exe\"",
                               u"1:\\cmd.exe", u"\\\\"}) {
    EXPECT_FALSE(IsFullyQualifiedPath(path)) << ToUtf8(path);
  }
}

TEST(SystemPaths, TheInterpreterIsComspecOnlyWhenItIsAFullPath) {
  const Text system = u"C:\\WINDOWS\\system32";
  EXPECT_EQ(ChooseInterpreter(u"C:\\WINDOWS\\system32\\cmd.exe", system), u"C:\\WINDOWS\\system32\\cmd.exe");
  EXPECT_EQ(ChooseInterpreter(u"D:\\Shells\\tcc.exe", system), u"D:\\Shells\\tcc.exe");
  // Unset (or too long, which reads as unset), relative or drive-relative:
  // never looked up through the current directory.
  for (const char16_t* comspec : {u"", u"cmd.exe", u"cmd", u"C:cmd.exe", u"\\windows\\cmd.exe"}) {
    EXPECT_EQ(ChooseInterpreter(comspec, system), u"C:\\WINDOWS\\system32\\cmd.exe") << ToUtf8(comspec);
  }
  EXPECT_EQ(ChooseInterpreter(u"C:\\" + Text(kPathUnits, u'x'), system), u"C:\\WINDOWS\\system32\\cmd.exe");
  // Exactly at the buffer's end: 1023 characters and the terminator fit, 1024 do not.
  const Text fits = u"Z:\\" + Text(kPathUnits - 4, u'x');
  EXPECT_EQ(ChooseInterpreter(fits, system), fits);
  EXPECT_EQ(ChooseInterpreter(fits + u"x", system), u"C:\\WINDOWS\\system32\\cmd.exe");
  EXPECT_EQ(ChooseInterpreter(u"cmd.exe", u""), u"");
}

TEST(SystemPaths, ShellWorkingDirectoryIsADriveRootNeverDriveRelative) {
  const Text system = u"C:\\WINDOWS\\system32";
  EXPECT_EQ(SystemDriveRoot(u"C:", system), u"C:\\");
  EXPECT_EQ(SystemDriveRoot(u"D:", system), u"D:\\");
  EXPECT_EQ(SystemDriveRoot(u"e:\\", system), u"e:\\");
  EXPECT_EQ(SystemDriveRoot(u"z:", system), u"z:\\");  // the letters' ends
  EXPECT_EQ(SystemDriveRoot(u"A:", system), u"A:\\");
  // Missing or not a drive: the system folder's drive.
  for (const char16_t* value : {u"", u"C", u"C:\\WINDOWS", u"%SystemDrive%", u"1:", u"C:x"}) {
    EXPECT_EQ(SystemDriveRoot(value, u"D:\\WINNT\\system32"), u"D:\\") << ToUtf8(value);
  }
  EXPECT_EQ(SystemDriveRoot(u"", u""), u"");
  EXPECT_EQ(SystemDriveRoot(u"", u"\\\\server\\share"), u"");
}

TEST(SystemPaths, TheFolderOfAPathTakesATemporaryFile) {
  EXPECT_EQ(FolderOfPath(u"C:\\out dir\\script.js"), u"C:\\out dir\\");
  EXPECT_EQ(FolderOfPath(u"C:\\script.js"), u"C:\\");
  EXPECT_EQ(FolderOfPath(u"sub/script.js"), u"sub/");
  EXPECT_EQ(FolderOfPath(u"\\\\server\\share\\x.bin"), u"\\\\server\\share\\");
  EXPECT_EQ(FolderOfPath(u"C:script.js"), u"C:");
  EXPECT_EQ(FolderOfPath(u"script.js"), u".");
  EXPECT_EQ(FolderOfPath(u""), u".");
}

TEST(SystemPaths, TheTemporaryFolderMustBeFullyQualifiedAndLeaveRoomForTheNames) {
  for (const char16_t* folder : {u"C:\\", u"C:\\Documents and Settings\\user\\Local Settings\\Temp\\",
                                 u"\\\\server\\share\\", u"\\\\srv\\temp share\\user\\"}) {
    EXPECT_EQ(TemporaryFolderError(folder), kStatusSuccess) << ToUtf8(folder);
  }
  // Each would name the script and the log relative to the current directory
  // (or a device), or lacks its final backslash.
  for (const char16_t* folder : {u"", u"Temp\\", u".\\", u"C:", u"C:Temp\\", u"\\Temp\\", u"C:/Temp/", u"C:\\Temp",
                                 u"\\\\", u"\\\\server\\", u"\\\\server\\\\", u"\\\\\\share\\", u"\\\\ser/ver\\share\\",
                                 u"\\\\.\\C:\\", u"\\\\?\\C:\\Temp\\", u"1:\\Temp\\"}) {
    EXPECT_EQ(TemporaryFolderError(folder), kBadPathname) << ToUtf8(folder);
  }
  // The longest name must still fit behind the folder in a path buffer.
  const Text room = u"C:\\" + Text(kPathUnits - kLongestTemporaryName - 5, u'x') + u"\\";
  EXPECT_EQ(TemporaryFolderError(room), kStatusSuccess);
  EXPECT_EQ(UniqueTemporaryName(room, 4294967295u, 4294967295u).size(), kPathUnits - 1);
  const Text longer = room.substr(0, 3) + u"x" + room.substr(3);
  EXPECT_EQ(TemporaryFolderError(longer), kFilenameTooLong);
  EXPECT_EQ(UniqueTemporaryName(longer, 4294967295u, 4294967295u), u"");  // refused, not cut
  EXPECT_EQ(UniqueTemporaryName(u"C:\\Temp", 12, 7), u"C:\\Temp\\TVN12-7.tmp");
  EXPECT_EQ(UniqueTemporaryName(u"C:", 12, 7), u"C:TVN12-7.tmp");
}

TEST(SystemPaths, OnlyAProcessDescriptionKeyMayBeDeleted) {
  for (const char16_t* key : {u"Software\\TVN\\1", u"Software\\TVN\\4294967295", u"Software\\TVN\\0123"}) {
    EXPECT_TRUE(IsProcessDescriptionKey(key)) << ToUtf8(key);
  }
  // The parent itself (an identifier that formatted to nothing), other keys,
  // paths that walk elsewhere, and anything but decimal digits.
  for (const char16_t* key :
       {u"Software\\TVN\\", u"Software\\TVN", u"Software", u"", u"Software\\TVN\\12\\x",
        u"Software\\TVN\\..\\Microsoft", u"Software\\TVN\\-1", u"Software\\TVN\\ 12", u"Software\\TVN\\12345678901",
        u"software\\tvn\\12", u"Software\\TVNX\\12", u"SOFTWARE\\Microsoft\\12"}) {
    EXPECT_FALSE(IsProcessDescriptionKey(key)) << ToUtf8(key);
  }
}

}  // namespace
}  // namespace tvn
