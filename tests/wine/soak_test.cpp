// Leak soak: the help dialog opened and closed many times, and Load/Release
// of every description mode many times, in one process. Neither the process's
// handle, GDI and USER object counts, its private memory nor the number of
// blocks its own code holds may grow, and every icon and font made (for the
// help dialog: every one it showed) must have been destroyed.
//
// The number of rounds comes from TVN_SOAK_ROUNDS (help dialog: a fifth of
// it); scripts/soak.sh runs the full 1,000 rounds. The default keeps the
// ordinary test run short.
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <set>
#include <string>

#include "base/win/unique_handle.h"
#include "base/win/wide.h"
#include "description/loader.h"
#include "description/win/description.h"
#include "description/win/handle_factory.h"
#include "description/win/registry_source.h"
#include "dialogs/win/help_dialog.h"
#include "launcher/app_context.h"
#include "resources/resource.h"
#include "tests/support/description_fakes.h"
#include "tests/wine/support/registry.h"

namespace tvn {
namespace {

int SoakRounds() {
  const char* text = std::getenv("TVN_SOAK_ROUNDS");
  int rounds = text ? std::atoi(text) : 0;
  return rounds > 0 ? rounds : 150;
}

// Every allocation of this program's own code goes through these: the
// number of blocks alive is exact, where the heaps' byte counts move in the
// steps the heap manager chooses.
std::atomic<long> g_liveBlocks{0};

void* CountedNew(std::size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  ++g_liveBlocks;
  return block;
}

void CountedDelete(void* block) {
  if (block == nullptr) return;
  --g_liveBlocks;
  std::free(block);
}

struct Usage {
  DWORD handles = 0;
  DWORD gdi = 0;
  DWORD user = 0;
  SIZE_T privateBytes = 0;
  long liveBlocks = 0;  // blocks of this program's own code
  SIZE_T heapBytes = 0;
};

SIZE_T HeapBytesInUse() {
  HANDLE heaps[64];
  DWORD count = GetProcessHeaps(64, heaps);
  SIZE_T total = 0;
  for (DWORD i = 0; i < count && i < 64; ++i) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(heaps[i], &entry)) {
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
    }
    HeapUnlock(heaps[i]);
  }
  return total;
}

Usage Measure() {
  Usage usage;
  GetProcessHandleCount(GetCurrentProcess(), &usage.handles);
  usage.gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  usage.user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof(memory);
  if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory)))
    usage.privateBytes = memory.PrivateUsage;
  usage.liveBlocks = g_liveBlocks.load();
  usage.heapBytes = HeapBytesInUse();
  return usage;
}

// The platform's counts must not grow; where the platform reports none (0),
// the check falls to the handle bookkeeping and the count of live blocks.
// The heaps' bytes are the caller's to judge: a dialog makes Wine keep some
// bytes of every window it held, whatever the dialog itself does.
void ExpectNoGrowth(const Usage& before, const Usage& after, const char* what) {
  std::printf(
      "[ SOAK     ] %s: handles %lu -> %lu, GDI %lu -> %lu, USER %lu -> %lu, private %lu KB -> %lu KB, "
      "own blocks %ld -> %ld, heap in use %lu -> %lu bytes\n",
      what, before.handles, after.handles, before.gdi, after.gdi, before.user, after.user,
      static_cast<unsigned long>(before.privateBytes / 1024), static_cast<unsigned long>(after.privateBytes / 1024),
      before.liveBlocks, after.liveBlocks, static_cast<unsigned long>(before.heapBytes),
      static_cast<unsigned long>(after.heapBytes));
  EXPECT_LE(after.handles, before.handles + 2) << what;  // the system may open a handle or two on its own
  EXPECT_LE(after.gdi, before.gdi) << what;
  EXPECT_LE(after.user, before.user) << what;
  // A leak of one text buffer per round would show as hundreds of kilobytes.
  EXPECT_LT(after.privateBytes, before.privateBytes + 384 * 1024) << what;
  EXPECT_GT(before.liveBlocks, 0) << "the allocation count counted nothing";
  EXPECT_LE(after.liveBlocks, before.liveBlocks) << what;
}

// The platform's factory, with every handle it makes and destroys tracked.
class TrackingFactory : public HandleFactory {
 public:
  IconHandle MakeIcon(TextView file, std::int32_t index) override {
    IconHandle icon = real_.MakeIcon(file, index);
    if (icon) {
      EXPECT_TRUE(live_.insert(icon).second);
    }
    return icon;
  }
  void DestroyIcon(IconHandle icon) override {
    EXPECT_EQ(1u, live_.erase(icon)) << "icon destroyed twice or never made";
    real_.DestroyIcon(icon);
  }
  FontHandle MakeFont(const FontSpec& spec) override {
    FontHandle font = real_.MakeFont(spec);
    if (font) {
      EXPECT_TRUE(live_.insert(font).second);
    }
    return font;
  }
  void DeleteFont(FontHandle font) override {
    EXPECT_EQ(1u, live_.erase(font)) << "font deleted twice or never made";
    real_.DeleteFont(font);
  }
  std::size_t live() const { return live_.size(); }

 private:
  WindowsHandleFactory real_;
  std::set<std::uintptr_t> live_;
};

class SoakTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(key.valid());
    testing_fakes::MemorySource memory;
    std::string error;
    ASSERT_TRUE(testing_fakes::LoadDump(memory, testing_fakes::kLogonDump, error)) << error;
    ASSERT_TRUE(testing_fakes::LoadDump(memory, testing_fakes::kCommandDump, error)) << error;
    for (const auto& value : memory.values()) ASSERT_EQ(ERROR_SUCCESS, key.SetBytes(value.first, value.second));
  }

  // One round of every mode: the entry's context and the four sections.
  void Round(UiDescription& ui, TrackingFactory& factory) {
    LoadAppContext(ui.context, 1234, u"C:\\TVN.exe", u"C:\\Temp\\");
    for (LoadMode mode : {kLoadLogon, kLoadCommand, kLoadSplash, kLoadHelp}) {
      RegistrySource source;
      std::uint32_t lastError = 0;
      ASSERT_TRUE(Load(ui, mode, subKey, source, factory, lastError)) << mode;
      Release(ui, mode, factory);
      ASSERT_EQ(0u, factory.live()) << "mode " << mode << " left handles alive";
    }
    ReleaseAppContext(ui.context);
  }

  tvn_test::ScratchKey key{"soak"};
  const Text& subKey = key.subKey();
};

TEST_F(SoakTest, LoadAndReleaseOfEveryModeLeaveNothingBehind) {
  static UiDescription ui;
  TrackingFactory factory;
  for (int i = 0; i < 10; ++i) Round(ui, factory);  // warm-up: caches of the system fill here
  const Usage before = Measure();
  const int rounds = SoakRounds();
  for (int i = 0; i < rounds && !HasFatalFailure(); ++i) Round(ui, factory);
  const Usage after = Measure();
  ExpectNoGrowth(before, after, "Load/Release of every section");
  // No window is involved: the system keeps only small caches (fonts, atoms).
  EXPECT_LT(after.heapBytes, before.heapBytes + 64 * 1024);
  EXPECT_EQ(0u, factory.live());
}

// What the help dialog showed when it was activated: the font of every
// control and the icon; the dialog is then ended.
struct Shown {
  std::set<HFONT> fonts;
  HICON icon = nullptr;
};
Shown g_shown;

BOOL CALLBACK RecordFont(HWND control, LPARAM) {
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  if (font != nullptr) g_shown.fonts.insert(font);
  return TRUE;
}

LRESULT CALLBACK CloseOnActivate(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) PostMessageW(reinterpret_cast<HWND>(wParam), WM_CLOSE, 0, 0);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Sees the posted WM_CLOSE before the dialog does, when it is fully made.
LRESULT CALLBACK RecordAtClose(int code, WPARAM wParam, LPARAM lParam) {
  const MSG* message = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && message->message == WM_CLOSE) {
    EnumChildWindows(message->hwnd, RecordFont, 0);
    g_shown.icon = reinterpret_cast<HICON>(SendDlgItemMessageW(message->hwnd, IDC_HELP_ICON, STM_GETICON, 0, 0));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The handles the system's heaps cannot show (GDI objects live outside them
// on Wine): every font and the icon the dialog showed are gone once it closed.
TEST_F(SoakTest, HelpDialogOpenedAndClosedRepeatedly) {
  AppContext context;
  LoadAppContext(context, GetCurrentProcessId(), u"C:\\TVN.exe", u"C:\\Temp\\");
  context.keyName.Set(subKey);
  UniqueHook closer(SetWindowsHookExW(WH_CBT, CloseOnActivate, nullptr, GetCurrentThreadId()));
  UniqueHook recorder(SetWindowsHookExW(WH_GETMESSAGE, RecordAtClose, nullptr, GetCurrentThreadId()));
  ASSERT_TRUE(closer && recorder);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(0, RunHelpDialog(nullptr, context));  // warm-up
  const int openings = SoakRounds() / 5;
  const Usage before = Measure();
  for (int i = 0; i < openings; ++i) {
    g_shown = Shown();
    ASSERT_EQ(0, RunHelpDialog(nullptr, context)) << "opening " << i << " (error " << GetLastError() << ")";
    ASSERT_FALSE(g_shown.fonts.empty()) << "opening " << i << " showed no font";
    ASSERT_NE(nullptr, g_shown.icon) << "opening " << i << " showed no icon";
    for (HFONT font : g_shown.fonts) ASSERT_EQ(0u, GetObjectType(font)) << "opening " << i << " left a font";
    ICONINFO info = {};
    ASSERT_FALSE(GetIconInfo(g_shown.icon, &info)) << "opening " << i << " left its icon";
  }
  const Usage after = Measure();
  ExpectNoGrowth(before, after, "help dialog opened and closed");
  ReleaseAppContext(context);
}

}  // namespace
}  // namespace tvn

void* operator new(std::size_t size) { return tvn::CountedNew(size); }
void* operator new[](std::size_t size) { return tvn::CountedNew(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return tvn::CountedNew(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* block) noexcept { tvn::CountedDelete(block); }
void operator delete[](void* block) noexcept { tvn::CountedDelete(block); }
void operator delete(void* block, std::size_t) noexcept { tvn::CountedDelete(block); }
void operator delete[](void* block, std::size_t) noexcept { tvn::CountedDelete(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { tvn::CountedDelete(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { tvn::CountedDelete(block); }
