// Leak soak: the help dialog opened and closed many times, and Load/Release
// of every description mode many times, in one process. Neither the process's
// handle, GDI and USER object counts nor its private memory may grow, and
// every icon and font made must have been destroyed.
//
// The number of rounds comes from TVN_SOAK_ROUNDS (help dialog: a fifth of
// it); scripts/soak.sh runs the full 1,000 rounds. The default keeps the
// ordinary test run short.
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>

#include "base/win/unique_handle.h"
#include "base/win/wide.h"
#include "description/loader.h"
#include "description/win/description.h"
#include "description/win/handle_factory.h"
#include "description/win/registry_source.h"
#include "dialogs/win/apply.h"
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

struct Usage {
  DWORD handles = 0;
  DWORD gdi = 0;
  DWORD user = 0;
  SIZE_T privateBytes = 0;
  SIZE_T heapBytes = 0;
};

// Bytes in use in every heap of the process (the C run-time's included),
// counted block by block: exact where the system's counters are not (Wine
// reports no private bytes and no GDI or USER counts).
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
  usage.heapBytes = HeapBytesInUse();
  return usage;
}

// The platform's counts must not grow; where the platform reports none (0),
// the check falls to the handle bookkeeping below and the memory check.
void ExpectNoGrowth(const Usage& before, const Usage& after, const char* what) {
  std::printf(
      "[ SOAK     ] %s: handles %lu -> %lu, GDI %lu -> %lu, USER %lu -> %lu, private %lu KB -> %lu KB, "
      "heap in use %lu -> %lu bytes\n",
      what, before.handles, after.handles, before.gdi, after.gdi, before.user, after.user,
      static_cast<unsigned long>(before.privateBytes / 1024), static_cast<unsigned long>(after.privateBytes / 1024),
      static_cast<unsigned long>(before.heapBytes), static_cast<unsigned long>(after.heapBytes));
  EXPECT_LE(after.handles, before.handles + 2) << what;  // the system may open a handle or two on its own
  EXPECT_LE(after.gdi, before.gdi) << what;
  EXPECT_LE(after.user, before.user) << what;
  // A leak of one text buffer per round would show as hundreds of kilobytes.
  EXPECT_LT(after.privateBytes, before.privateBytes + 384 * 1024) << what;
  EXPECT_GT(after.heapBytes, 0u) << "the heap walk counted nothing";
  // The system keeps small caches of its own (fonts, classes, atoms): allow a
  // little slack, far below what one leaked text buffer per round would add.
  EXPECT_LT(after.heapBytes, before.heapBytes + 64 * 1024) << what;
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
  ExpectNoGrowth(before, Measure(), "Load/Release of every section");
  EXPECT_EQ(0u, factory.live());
}

// Ends every help dialog as soon as it is activated.
LRESULT CALLBACK CloseOnActivate(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) PostMessageW(reinterpret_cast<HWND>(wParam), WM_CLOSE, 0, 0);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The help template with the help section applied by the same steps, from a
// section loaded once beforehand: what the system itself keeps per opening of
// such a dialog (Wine's edit controls keep some bytes of every text they
// held). Only the help dialog's own per-opening work differs.
INT_PTR CALLBACK BareDialogProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const HelpDescription& help = *reinterpret_cast<const HelpDescription*>(lParam);
    ApplyDialogDescription(dialog, help.window);
    ApplyControlDescription(dialog, IDC_HELP_ICON, help.icon, ControlKind::Icon);
    ApplyControlDescription(dialog, IDC_HELP_ABOUT, help.about, ControlKind::Edit);
    ApplyControlDescription(dialog, IDC_HELP_DISCLAIMER, help.disclaimer, ControlKind::Edit);
    ApplyControlDescription(dialog, IDC_HELP_CLOSE, help.close, ControlKind::PushButton);
    ApplyControlDescription(dialog, IDC_HELP_DIAGNOSTICS, help.diagnostics, ControlKind::PushButton);
  }
  if (message == WM_CLOSE) EndDialog(dialog, 0);
  return FALSE;
}

SIZE_T HeapGrowthOver(int openings, const std::function<INT_PTR()>& open) {
  for (int i = 0; i < 5; ++i) open();  // warm-up
  const SIZE_T before = HeapBytesInUse();
  for (int i = 0; i < openings; ++i) {
    INT_PTR result = open();
    if (result != 0) {
      ADD_FAILURE() << "opening " << i << " returned " << result << " (error " << GetLastError() << ")";
      break;
    }
  }
  const SIZE_T after = HeapBytesInUse();
  return after > before ? after - before : 0;
}

TEST_F(SoakTest, HelpDialogOpenedAndClosedRepeatedly) {
  AppContext context;
  LoadAppContext(context, GetCurrentProcessId(), u"C:\\TVN.exe", u"C:\\Temp\\");
  context.keyName.Set(subKey);
  UniqueHook hook(SetWindowsHookExW(WH_CBT, CloseOnActivate, nullptr, GetCurrentThreadId()));
  ASSERT_TRUE(hook);
  const int openings = SoakRounds() / 5;
  const Usage before = Measure();
  const SIZE_T helpGrowth = HeapGrowthOver(openings, [&] { return RunHelpDialog(nullptr, context); });
  const Usage after = Measure();
  static UiDescription loaded;
  ASSERT_TRUE(LoadDescription(loaded, kLoadHelp, subKey));
  ASSERT_FALSE(loaded.help.disclaimer.text.empty());
  const SIZE_T bareGrowth = HeapGrowthOver(openings, [&] {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_HELP), nullptr, BareDialogProc,
                           reinterpret_cast<LPARAM>(&loaded.help));
  });
  ReleaseDescription(loaded, kLoadHelp);
  hook.reset();
  ExpectNoGrowth(before, after, "help dialog opened and closed");
  std::printf("[ SOAK     ] heap growth over %d openings: help dialog %lu bytes, bare template %lu bytes\n", openings,
              static_cast<unsigned long>(helpGrowth), static_cast<unsigned long>(bareGrowth));
  // Whatever the system keeps per dialog it keeps for both; the help dialog's
  // own loads, fonts, icons, layout and texts must add nothing to it. Wine's
  // 32-bit heap grows in steps of about 4 KB, so two steps are allowed (over
  // 120 openings the help dialog grows less than the bare template there).
  EXPECT_LE(helpGrowth, bareGrowth + 8192);
  ReleaseAppContext(context);
}

}  // namespace
}  // namespace tvn
