// The owners of platform handles and paired calls: what a moved-from owner
// holds, the last error across clean-up, COM initialisation balanced, a
// resource update that writes nothing unless committed, and the new files
// that take the place of fixed names in a shared folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <utility>

#include "base/win/new_file.h"
#include "base/win/unique_handle.h"
#include "base/win/wide.h"
#include "tests/wine/support/files.h"
#include "tests/wine/support/processes.h"
#include "tests/wine/support/windows.h"

namespace tvn {
namespace {

constexpr DWORD kMarker = 0x2A2A;

// Handle values that name nothing: closing them fails and sets an error code.
HANDLE BogusHandle() { return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x7FFC)); }
HWND BogusWindow() { return reinterpret_cast<HWND>(static_cast<INT_PTR>(0x7FFC)); }
HHOOK BogusHook() { return reinterpret_cast<HHOOK>(static_cast<INT_PTR>(0x7FFC)); }

// `close` fails on `bogus` and says so through the last error; the owner
// closing the same value leaves the code that was there before.
template <typename Owner, typename Handle, typename Close>
void ExpectLastErrorKept(Handle bogus, Close close, const char* what) {
  SCOPED_TRACE(what);
  SetLastError(kMarker);
  close(bogus);
  ASSERT_NE(GetLastError(), kMarker) << "closing a bogus value must set an error, or this test proves nothing";
  {
    Owner owner(bogus);
    SetLastError(kMarker);
  }
  EXPECT_EQ(GetLastError(), kMarker) << "the owner's clean-up hid the code";
  Owner owner(bogus);
  SetLastError(kMarker);
  owner.reset();
  EXPECT_EQ(GetLastError(), kMarker) << "reset hid the code";
}

TEST(Owners, CleanUpKeepsTheLastError) {
  ExpectLastErrorKept<UniqueHandleKernel>(BogusHandle(), KernelHandleTraits::Close, "kernel handle");
  ExpectLastErrorKept<UniqueWindow>(BogusWindow(), WindowTraits::Close, "window");
  ExpectLastErrorKept<UniqueHook>(BogusHook(), HookTraits::Close, "hook");
}

TEST(Owners, AMovedFromOwnerHoldsNothingAndTheNewOneCloses) {
  if (!tvn_test::HaveDisplay()) GTEST_SKIP() << "needs a display";
  auto makeWindow = [] {
    return CreateWindowExW(0, L"Static", L"owned", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleW(nullptr),
                           nullptr);
  };
  UniqueWindow first(makeWindow());
  ASSERT_TRUE(first);
  const HWND window = first.get();

  UniqueWindow second(std::move(first));
  EXPECT_FALSE(first);
  EXPECT_EQ(first.get(), nullptr);
  EXPECT_EQ(second.get(), window);
  first.reset();
  EXPECT_TRUE(IsWindow(window)) << "the moved-from owner must not destroy what it gave away";

  // Assigning over an owner destroys what it held.
  UniqueWindow third(makeWindow());
  ASSERT_TRUE(third);
  const HWND replaced = third.get();
  third = std::move(second);
  EXPECT_FALSE(IsWindow(replaced));
  EXPECT_EQ(third.get(), window);
  EXPECT_TRUE(IsWindow(window));

  // Released: detached, not destroyed; a new owner takes it over.
  UniqueWindow adopted(third.release());
  EXPECT_FALSE(third);
  EXPECT_TRUE(IsWindow(window));
  adopted.reset();
  EXPECT_FALSE(IsWindow(window));
}

TEST(Owners, FindHandlesKnowTheirFailureValue) {
  const UniqueFind none;
  EXPECT_EQ(none.get(), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(none);

  WIN32_FIND_DATAW found;
  tvn_test::TempFolder folder(L"tvn owners");
  ASSERT_TRUE(folder.created());
  const UniqueFind missing(FindFirstFileW((folder / L"no such file *").c_str(), &found));
  EXPECT_FALSE(missing);

  ASSERT_TRUE(tvn_test::WriteFileBytes(folder / L"one.txt", "1"));
  UniqueFind search(FindFirstFileW((folder / L"*.txt").c_str(), &found));
  ASSERT_TRUE(search);
  EXPECT_EQ(std::wstring(found.cFileName), L"one.txt");
  UniqueFind moved(std::move(search));
  EXPECT_EQ(search.get(), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(FindNextFileW(moved.get(), &found));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES)) << "the moved search is still open";
}

TEST(Owners, TaskMemoryAndGdiObjectsMoveLikeHandles) {
  UniqueCoTaskMem<wchar_t> text(static_cast<wchar_t*>(CoTaskMemAlloc(16 * sizeof(wchar_t))));
  ASSERT_TRUE(text);
  wchar_t* const held = text.get();
  UniqueCoTaskMem<wchar_t> moved(std::move(text));
  EXPECT_EQ(text.get(), nullptr);
  EXPECT_EQ(moved.get(), held);

  UniqueBrush brush(CreateSolidBrush(RGB(1, 2, 3)));
  ASSERT_TRUE(brush);
  LOGBRUSH described = {};
  ASSERT_EQ(GetObjectW(brush.get(), sizeof(described), &described), static_cast<int>(sizeof(described)));
  EXPECT_EQ(described.lbColor, RGB(1, 2, 3));
  const HBRUSH raw = brush.get();
  brush.reset();
  EXPECT_EQ(GetObjectW(raw, sizeof(described), &described), 0) << "the brush is deleted";
}

// Each test thread starts without COM.
template <typename Body>
void OnFreshThread(Body body) {
  std::thread thread(body);
  thread.join();
}

TEST(Owners, ComInitialisationIsBalanced) {
  OnFreshThread([] {
    {
      const ComInitialization outer;
      EXPECT_EQ(outer.result(), S_OK);
      const ComInitialization inner;
      EXPECT_EQ(inner.result(), S_FALSE) << "already initialised";
    }
    // Both ended, the inner S_FALSE included: the thread is back to none.
    const ComInitialization again;
    EXPECT_EQ(again.result(), S_OK);
  });
  OnFreshThread([] {
    SetLastError(kMarker);
    { const ComInitialization com; }
    EXPECT_EQ(GetLastError(), kMarker);
  });
}

// A copy of this test program, its RCDATA resources read as data.
class ExecutableCopy {
 public:
  ExecutableCopy() : folder_(L"tvn update") {
    exe_ = folder_ / L"copy.exe";
    copied_ = folder_.created() && CopyFileW(tvn_test::ModulePath().c_str(), exe_.c_str(), FALSE);
  }
  bool copied() const { return copied_; }
  const wchar_t* path() const { return exe_.c_str(); }

  // The ids of the RCDATA resources with numbers; empty when unreadable.
  std::set<WORD> DataIds() const {
    std::set<WORD> ids;
    const UniqueModule module(LoadLibraryExW(exe_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) return ids;
    EnumResourceNamesW(
        module.get(), RT_RCDATA,
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR list) CALLBACK -> BOOL {
          if (IS_INTRESOURCE(name)) reinterpret_cast<std::set<WORD>*>(list)->insert(LOWORD(name));
          return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&ids));
    return ids;
  }

 private:
  tvn_test::TempFolder folder_;
  std::wstring exe_;
  bool copied_ = false;
};

constexpr WORD kAddedId = 4321;

bool AddData(const ResourceUpdate& update) {
  static char data[] = "added by the owners test";
  return UpdateResourceW(update.get(), RT_RCDATA, MAKEINTRESOURCEW(kAddedId), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                         data, sizeof(data)) != FALSE;
}

TEST(Owners, AResourceUpdateWritesNothingUnlessCommitted) {
  ExecutableCopy copy;
  ASSERT_TRUE(copy.copied());
  const std::set<WORD> before = copy.DataIds();
  ASSERT_FALSE(before.empty()) << "the test program carries the description script";
  ASSERT_EQ(before.count(kAddedId), 0u);
  const std::string bytesBefore = tvn_test::FileBytes(copy.path());

  {
    ResourceUpdate update(BeginUpdateResourceW(copy.path(), FALSE));
    ASSERT_TRUE(update);
    ASSERT_TRUE(AddData(update));
    SetLastError(kMarker);
  }
  EXPECT_EQ(GetLastError(), kMarker) << "discarding keeps the last error";
  EXPECT_EQ(copy.DataIds(), before) << "an uncommitted update changed the resources";
  EXPECT_TRUE(tvn_test::FileBytes(copy.path()) == bytesBefore) << "an uncommitted update changed the file";

  ResourceUpdate update(BeginUpdateResourceW(copy.path(), FALSE));
  ASSERT_TRUE(update);
  ASSERT_TRUE(AddData(update));
  ResourceUpdate moved(std::move(update));
  EXPECT_FALSE(update);
  SetLastError(0);
  EXPECT_FALSE(update.Commit()) << "a moved-from update has nothing to commit";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  ASSERT_TRUE(moved.Commit()) << "error " << GetLastError();
  EXPECT_FALSE(moved) << "a committed update is over";
  std::set<WORD> expected = before;
  expected.insert(kAddedId);
  EXPECT_EQ(copy.DataIds(), expected);
}

// Someone who can write the folder made the fixed name a hard link to a file
// of theirs. The new file takes the name without writing into their file.
TEST(Owners, ANewFileIsFreshAndReplacesALinkedNameWithoutWritingThroughIt) {
  tvn_test::TempFolder folder(L"owners");
  const std::wstring theirs = folder / L"theirs.log", fixed = folder / L"TVN_diag.log";
  ASSERT_TRUE(tvn_test::WriteFileBytes(theirs, "their text"));
  ASSERT_TRUE(CreateHardLinkW(fixed.c_str(), theirs.c_str(), nullptr));
  {
    NewFile file, other;
    ASSERT_TRUE(file.Create(ToText(folder.path().c_str())));
    ASSERT_TRUE(other.Create(ToText(folder.path().c_str())));
    EXPECT_NE(file.path(), other.path());
    ASSERT_TRUE(file.Write("ours", 4));
    ASSERT_TRUE(file.MoveOver(ToText(fixed.c_str())));
    SetLastError(kMarker);
  }  // `other` goes with its owner
  EXPECT_EQ(GetLastError(), kMarker);
  EXPECT_EQ(tvn_test::FileBytes(fixed), "ours");
  EXPECT_EQ(tvn_test::FileBytes(theirs), "their text");
  EXPECT_EQ(tvn_test::FilesIn(folder.path()).size(), 2u) << "nothing else is left";
}

// The copy of the executable that a start from a network path runs from the
// temporary folder: a planted file or link under its name is replaced, and
// while the copy is held nobody can change or replace it, yet it starts.
TEST(Owners, APlacedCopyIsTheBytesWrittenAndStaysSoWhileHeld) {
  tvn_test::TempFolder folder(L"owners");
  const std::wstring source = tvn_test::BesideModule(L"tvn_trivial.exe");
  const std::wstring planted = folder / L"planted.exe", target = folder / L"TVN.exe";
  ASSERT_TRUE(tvn_test::WriteFileBytes(planted, "planted"));
  ASSERT_TRUE(CreateHardLinkW(target.c_str(), planted.c_str(), nullptr));

  UniqueHandleKernel held;
  SetLastError(kMarker);
  ASSERT_TRUE(PlaceCopy(ToText(source.c_str()), ToText(target.c_str()), held)) << GetLastError();
  EXPECT_EQ(GetLastError(), 0u);
  ASSERT_TRUE(held);
  EXPECT_EQ(tvn_test::FileBytes(planted), "planted");
  EXPECT_TRUE(tvn_test::FileBytes(target) == tvn_test::FileBytes(source));

  UniqueHandleKernel writer(CreateFileW(target.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        0, nullptr));
  EXPECT_FALSE(writer);
  EXPECT_FALSE(MoveFileExW(planted.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
  const tvn_test::ProgramRun run = tvn_test::RunProgram(target.c_str(), L"\"" + target + L"\"", {});
  EXPECT_TRUE(run.started) << run.startError;
  EXPECT_EQ(run.exitCode, 0u);
  held.reset();
  EXPECT_TRUE(MoveFileExW(planted.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) << "released, it can go";
}

}  // namespace
}  // namespace tvn
