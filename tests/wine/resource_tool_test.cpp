// The resource tool: extracting a resource of the running module to a file,
// replacing a resource of another executable from a file, the number
// arguments, and the mode sequence with its fatal reports.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/win/unique_handle.h"
#include "base/win/wide.h"
#include "description/records.h"
#include "launcher/app_context.h"
#include "launcher/command_line.h"
#include "launcher/win/resource_tool.h"
#include "launcher/win/splash.h"
#include "tests/wine/support/dialog_driver.h"
#include "tests/wine/support/files.h"
#include "tests/wine/support/windows.h"

namespace {

using tvn::Text;
using tvn_test::FilesIn;
using tvn_test::ModulePath;
// The files are compared as bytes.
using Bytes = std::string;

bool ReadAll(const std::wstring& path, Bytes& bytes) { return tvn_test::ReadFileBytes(path, bytes); }
bool WriteAll(const std::wstring& path, const Bytes& bytes) { return tvn_test::WriteFileBytes(path, bytes); }

// A fresh folder under the temporary directory, emptied and removed at the end.
class TempFolder : public tvn_test::TempFolder {
 public:
  TempFolder() : tvn_test::TempFolder(L"launch rt") {}
};

// The script as the build packed it, next to the test program.
Bytes PackedScript() {
  Bytes bytes;
  EXPECT_TRUE(ReadAll(tvn_test::BesideModule(L"resources\\description.script"), bytes)) << "packed script missing";
  return bytes;
}

// Resource type/id of an executable loaded as data, or nothing.
bool ResourceOf(const std::wstring& exe, WORD type, WORD id, Bytes& bytes, int& languages) {
  const tvn::UniqueModule owner(LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  HMODULE module = owner.get();
  if (module == nullptr) return false;
  bool found = false;
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
  if (resource != nullptr) {
    DWORD size = SizeofResource(module, resource);
    const unsigned char* data = static_cast<const unsigned char*>(LockResource(LoadResource(module, resource)));
    if (data != nullptr) {
      bytes.assign(data, data + size);
      found = true;
    }
  }
  languages = 0;
  EnumResourceLanguagesW(
      module, MAKEINTRESOURCEW(type), MAKEINTRESOURCEW(id),
      [](HMODULE, LPCWSTR, LPCWSTR, WORD, LONG_PTR count) CALLBACK -> BOOL {
        ++*reinterpret_cast<int*>(count);
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&languages));
  return found;
}

TEST(ResourceToolExtract, WritesTheScriptByteForByte) {
  TempFolder folder;
  const std::wstring out = folder / L"script out.js";
  // An existing, longer file is replaced entirely.
  ASSERT_TRUE(WriteAll(out, Bytes(200000, 'x')));

  SetLastError(0xdeadbeef);
  ASSERT_TRUE(tvn::ExtractResourceToFile(out.c_str(), 10, 750));
  EXPECT_EQ(GetLastError(), 0u);

  Bytes written;
  ASSERT_TRUE(ReadAll(out, written));
  Bytes expected = PackedScript();
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(written.size(), expected.size());
  EXPECT_TRUE(written == expected);
}

TEST(ResourceToolExtract, MissingResourceFailsWithTheSystemCode) {
  TempFolder folder;
  const std::wstring out = folder / L"none.bin";
  SetLastError(0);
  EXPECT_FALSE(tvn::ExtractResourceToFile(out.c_str(), 10, 7777));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesW(out.c_str()), INVALID_FILE_ATTRIBUTES) << "no file for a missing resource";

  SetLastError(0);
  EXPECT_FALSE(tvn::ExtractResourceToFile(out.c_str(), 4321, 750));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));

  // Number 0 (an empty or missing argument) names no resource.
  SetLastError(0);
  EXPECT_FALSE(tvn::ExtractResourceToFile(out.c_str(), 10, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  SetLastError(0);
  EXPECT_FALSE(tvn::ExtractResourceToFile(out.c_str(), 0, 750));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
}

TEST(ResourceToolExtract, UnwritableOutputFails) {
  TempFolder folder;
  SetLastError(0);
  EXPECT_FALSE(tvn::ExtractResourceToFile((folder / L"missing folder\\out.bin").c_str(), 10, 750));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  SetLastError(0);
  EXPECT_FALSE(tvn::ExtractResourceToFile(L"", 10, 750));
  EXPECT_NE(GetLastError(), 0u);
}

TEST(ResourceToolExtract, AFailedExtractLeavesTheTargetAsItWasAndNoTemporaryFile) {
  TempFolder folder;
  const std::wstring out = folder / L"kept.js";
  const Bytes before = {'o', 'l', 'd', '\r', '\n', '\0', '\xFF'};
  ASSERT_TRUE(WriteAll(out, before));
  const std::wstring base = (folder / L"");

  // Held open by another program that does not share it: the file cannot be
  // replaced, and the bytes already written elsewhere are thrown away.
  tvn::UniqueHandleKernel held(
      CreateFileW(out.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held);
  SetLastError(0);
  const bool extracted = tvn::ExtractResourceToFile(out.c_str(), 10, 750);
  const DWORD code = GetLastError();
  held.reset();
  EXPECT_FALSE(extracted);
  EXPECT_NE(code, 0u);
  Bytes now;
  ASSERT_TRUE(ReadAll(out, now));
  EXPECT_TRUE(now == before) << "the existing file must stay byte for byte as it was";
  EXPECT_EQ(FilesIn(base), (std::vector<std::wstring>{L"kept.js"})) << "the temporary file is removed";

  // A directory where the file should go: the same.
  const std::wstring directory = folder / L"a folder";
  ASSERT_TRUE(CreateDirectoryW(directory.c_str(), nullptr));
  SetLastError(0);
  EXPECT_FALSE(tvn::ExtractResourceToFile(directory.c_str(), 10, 750));
  EXPECT_NE(GetLastError(), 0u);
  EXPECT_EQ(GetFileAttributesW(directory.c_str()) & FILE_ATTRIBUTE_DIRECTORY,
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(FilesIn(base), (std::vector<std::wstring>{L"kept.js"}));
  RemoveDirectoryW(directory.c_str());

  // A resource that cannot be had: the target is not even touched.
  SetLastError(0);
  EXPECT_FALSE(tvn::ExtractResourceToFile(out.c_str(), 10, 7777));
  ASSERT_TRUE(ReadAll(out, now));
  EXPECT_TRUE(now == before);

  // And a successful extract replaces it whole, leaving nothing else behind.
  ASSERT_TRUE(tvn::ExtractResourceToFile(out.c_str(), 10, 750));
  ASSERT_TRUE(ReadAll(out, now));
  EXPECT_TRUE(now == PackedScript());
  EXPECT_EQ(FilesIn(base), (std::vector<std::wstring>{L"kept.js"}));
}

// A copy of this test program to update; the original is never touched.
struct ExeCopy {
  TempFolder folder;
  std::wstring exe = folder / L"copy of tvn.exe";
  Bytes original;
  ExeCopy() {
    EXPECT_TRUE(CopyFileW(ModulePath().c_str(), exe.c_str(), FALSE));
    EXPECT_TRUE(ReadAll(exe, original));
  }
  bool Unchanged() {
    Bytes now;
    return ReadAll(exe, now) && now == original;
  }
};

TEST(ResourceToolReplace, ReplacesTheScriptInPlace) {
  ExeCopy copy;
  const std::wstring data = copy.folder / L"new script.js";
  Bytes replacement;
  for (int i = 0; i < 70000; ++i) replacement.push_back(static_cast<char>(i * 7 + 3));  // grows the section
  ASSERT_TRUE(WriteAll(data, replacement));

  SetLastError(0xdeadbeef);
  ASSERT_TRUE(tvn::ReplaceResourceFromFile(data.c_str(), copy.exe.c_str(), 10, 750));
  EXPECT_EQ(GetLastError(), 0u);

  Bytes stored;
  int languages = 0;
  ASSERT_TRUE(ResourceOf(copy.exe, 10, 750, stored, languages));
  EXPECT_TRUE(stored == replacement);
  EXPECT_EQ(languages, 1) << "the update must replace the neutral script, not add a language";

  // Other resources survive: the splash template is still there.
  Bytes dialog;
  EXPECT_TRUE(ResourceOf(copy.exe, 5, 400, dialog, languages));
}

TEST(ResourceToolReplace, AddsANewResource) {
  ExeCopy copy;
  const std::wstring data = copy.folder / L"data.bin";
  ASSERT_TRUE(WriteAll(data, Bytes{'a', 'b', 'c'}));
  ASSERT_TRUE(tvn::ReplaceResourceFromFile(data.c_str(), copy.exe.c_str(), 10, 751));
  Bytes stored;
  int languages = 0;
  ASSERT_TRUE(ResourceOf(copy.exe, 10, 751, stored, languages));
  EXPECT_TRUE(stored == (Bytes{'a', 'b', 'c'}));
  ASSERT_TRUE(ResourceOf(copy.exe, 10, 750, stored, languages));
  EXPECT_TRUE(stored == PackedScript());
}

TEST(ResourceToolReplace, FailuresLeaveTheExecutableUnchanged) {
  ExeCopy copy;
  const std::wstring data = copy.folder / L"data.bin";
  ASSERT_TRUE(WriteAll(data, Bytes{'x', 'y'}));

  SetLastError(0);
  EXPECT_FALSE(tvn::ReplaceResourceFromFile((copy.folder / L"no such data.bin").c_str(), copy.exe.c_str(), 10, 750));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_TRUE(copy.Unchanged());

  SetLastError(0);
  EXPECT_FALSE(tvn::ReplaceResourceFromFile(data.c_str(), (copy.folder / L"no such.exe").c_str(), 10, 750));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesW((copy.folder / L"no such.exe").c_str()), INVALID_FILE_ATTRIBUTES);

  // Not an executable at all.
  SetLastError(0);
  EXPECT_FALSE(tvn::ReplaceResourceFromFile(data.c_str(), data.c_str(), 10, 750));
  EXPECT_NE(GetLastError(), 0u);
  Bytes dataNow;
  ASSERT_TRUE(ReadAll(data, dataNow));
  EXPECT_TRUE(dataNow == (Bytes{'x', 'y'}));

  // Number 0 is refused before anything is opened.
  SetLastError(0);
  EXPECT_FALSE(tvn::ReplaceResourceFromFile(data.c_str(), copy.exe.c_str(), 10, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(copy.Unchanged());
}

TEST(ResourceToolReplace, LockedExecutableIsNotChanged) {
  ExeCopy copy;
  const std::wstring data = copy.folder / L"data.bin";
  ASSERT_TRUE(WriteAll(data, Bytes{'x', 'y'}));
  tvn::UniqueHandleKernel lock(CreateFileW(copy.exe.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(lock);
  SetLastError(0);
  bool updated = tvn::ReplaceResourceFromFile(data.c_str(), copy.exe.c_str(), 10, 750);
  DWORD code = GetLastError();
  lock.reset();
  EXPECT_FALSE(updated);
  EXPECT_EQ(code, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_TRUE(copy.Unchanged());
}

TEST(ResourceToolReplace, EmptyDataFileIsRefusedAndKeepsTheScript) {
  // An update with no data would delete the script from the executable.
  ExeCopy copy;
  const std::wstring data = copy.folder / L"empty.js";
  ASSERT_TRUE(WriteAll(data, Bytes()));
  SetLastError(0);
  EXPECT_FALSE(tvn::ReplaceResourceFromFile(data.c_str(), copy.exe.c_str(), 10, 750));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
  EXPECT_TRUE(copy.Unchanged());
}

TEST(ResourceToolReplace, ADataFileAboveTheCapIsRefusedBeforeItIsRead) {
  ExeCopy copy;
  const std::wstring data = copy.folder / L"huge.bin";
  {
    const tvn::UniqueHandleKernel file(CreateFileW(data.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file);
    LARGE_INTEGER size;
    size.QuadPart = static_cast<LONGLONG>(tvn::kMaxResourceDataBytes) + 1;
    EXPECT_TRUE(SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN));
    EXPECT_TRUE(SetEndOfFile(file.get()));
  }
  SetLastError(0);
  EXPECT_FALSE(tvn::ReplaceResourceFromFile(data.c_str(), copy.exe.c_str(), 10, 750));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_TOO_LARGE));
  EXPECT_TRUE(copy.Unchanged());
}

TEST(ResourceToolNumber, ConvertsLikeTheNumberBuffer) {
  struct Case {
    const char16_t* text;
    WORD expected;
  };
  const Case cases[] = {
      {u"750", 750},
      {u" 750abc", 750},
      {u"\t+10", 10},
      {u"-1", 65535},
      {u"65535", 65535},
      {u"65536", 0},
      {u"70000", 4464},
      {u"", 0},
      {u"abc", 0},
      {u"- 5", 0},
      {u"\x0416"
       u"750",
       0},  // a letter that is no digit in any code page
      // Only the 19 bytes of the number buffer count: nineteen nines saturate
      // the 64-bit value, whose low 16 bits are all ones.
      {u"9999999999999999999999999999999999999999", 65535},
      {u"0000000000000000000000000000000000000750", 0},
      {u"                  7", 7},
      {u"                   7", 0},
  };
  for (const Case& c : cases) {
    SetLastError(1234);
    EXPECT_EQ(tvn::ResourceNumber(Text(c.text)), c.expected) << tvn::ToUtf8(c.text);
    EXPECT_EQ(GetLastError(), 1234u) << "the conversion keeps the last error";
  }
}

// The mode sequence runs the operation with the quoted arguments and shows a
// fatal box only on failure.
class ResourceToolMode : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::wstring exe = ModulePath();
    const std::wstring temp = tvn_test::TempDir();
    tvn::LoadAppContext(context_, GetCurrentProcessId(), tvn::ToText(exe.c_str()), tvn::ToText(temp.c_str()));
  }
  void TearDown() override { tvn::ReleaseAppContext(context_); }

  // Runs the mode on this thread while another thread answers the first
  // "Tolvane" box of this process (if one appears within the run) and records
  // its text.
  std::wstring RunAndAnswer(const tvn::CommandLineOptions& options) {
    tvn_test::BoxAnswerer answerer;
    tvn::SplashWindow splash(0);  // not started: Close only sleeps
    tvn::RunResourceTool(options, context_, splash);
    return answerer.Finish();
  }

  tvn::AppContext context_;
};

TEST_F(ResourceToolMode, ExtractWritesTheFileAndShowsNothing) {
  TempFolder folder;
  tvn::CommandLineOptions options;
  options.toolMode = tvn::ToolMode::ExtractResource;
  std::wstring out = folder / L"out.js";
  options.arguments = {tvn::ToText(out.c_str()), u"10", u"750", u"", u""};
  EXPECT_EQ(RunAndAnswer(options), L"");
  Bytes written;
  ASSERT_TRUE(ReadAll(out, written));
  EXPECT_TRUE(written == PackedScript());
}

TEST_F(ResourceToolMode, UpdateTakesTheFourArguments) {
  ExeCopy copy;
  const std::wstring data = copy.folder / L"d.bin";
  ASSERT_TRUE(WriteAll(data, Bytes{'1', '2', '3', '4'}));
  tvn::CommandLineOptions options;
  options.toolMode = tvn::ToolMode::UpdateResource;
  options.arguments = {tvn::ToText(data.c_str()), tvn::ToText(copy.exe.c_str()), u"10", u"752abc", u""};
  EXPECT_EQ(RunAndAnswer(options), L"");
  Bytes stored;
  int languages = 0;
  ASSERT_TRUE(ResourceOf(copy.exe, 10, 752, stored, languages));
  EXPECT_TRUE(stored == (Bytes{'1', '2', '3', '4'}));
}

TEST_F(ResourceToolMode, FailuresShowTheirFatalMessage) {
  if (!tvn_test::HaveDisplay()) GTEST_SKIP() << "needs a display for the message box";
  TempFolder folder;
  tvn::CommandLineOptions options;
  options.toolMode = tvn::ToolMode::ExtractResource;
  options.arguments = {tvn::ToText((folder / L"x.bin").c_str()), u"10", u"7777", u"", u""};
  std::wstring text = RunAndAnswer(options);
  EXPECT_EQ(text.rfind(L"FATAL ERROR: Extract script!\r\nError (1814): ", 0), 0u)
      << tvn::ToUtf8(tvn::ToText(text.c_str()));

  ExeCopy copy;
  options.toolMode = tvn::ToolMode::UpdateResource;
  options.arguments = {tvn::ToText((folder / L"missing.bin").c_str()), tvn::ToText(copy.exe.c_str()), u"10", u"750",
                       u""};
  text = RunAndAnswer(options);
  EXPECT_EQ(text.rfind(L"FATAL ERROR: Update resource!\r\nError (2): ", 0), 0u)
      << tvn::ToUtf8(tvn::ToText(text.c_str()));
  EXPECT_TRUE(copy.Unchanged());
}

TEST_F(ResourceToolMode, AnArgumentThatDidNotFitIsRefusedNotCut) {
  if (!tvn_test::HaveDisplay()) GTEST_SKIP() << "needs a display for the message box";
  TempFolder folder;
  // What the parser kept of a longer output path: a shorter path that names
  // another file. It must not be written.
  const std::wstring cut = folder / L"cut.js";
  tvn::CommandLineOptions options = tvn::ParseCommandLine(u"e \"" + tvn::ToText(cut.c_str()) +
                                                          Text(tvn::kArgumentChars, u'x') + u"\" \"10\" \"750\"");
  ASSERT_TRUE(options.overflowed[0]);
  std::wstring text = RunAndAnswer(options);
  EXPECT_EQ(text.rfind(L"FATAL ERROR: Extract script!\r\nError (206): ", 0), 0u)
      << tvn::ToUtf8(tvn::ToText(text.c_str()));
  EXPECT_TRUE(FilesIn(folder / L"").empty());

  ExeCopy copy;
  const std::wstring data = copy.folder / L"d.bin";
  ASSERT_TRUE(WriteAll(data, Bytes{'1'}));
  options = tvn::ParseCommandLine(u"i \"" + tvn::ToText(data.c_str()) + u"\" \"" + tvn::ToText(copy.exe.c_str()) +
                                  u"\" \"10\" \"" + Text(tvn::kArgumentChars + 1, u'7') + u"\"");
  ASSERT_TRUE(options.overflowed[3]);
  text = RunAndAnswer(options);
  EXPECT_EQ(text.rfind(L"FATAL ERROR: Update resource!\r\nError (122): ", 0), 0u)
      << tvn::ToUtf8(tvn::ToText(text.c_str()));
  EXPECT_TRUE(copy.Unchanged());
}

}  // namespace
