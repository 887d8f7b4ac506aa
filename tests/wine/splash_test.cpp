// The splash window on its own thread: what it shows, and how Close ends it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/win/unique_handle.h"
#include "launcher/win/splash.h"
#include "resources/resource.h"
#include "tests/wine/support/windows.h"

namespace {

using tvn_test::HaveDisplay;
using tvn_test::TextOf;
using tvn_test::WaitFor;

TEST(Splash, ShowsItsDescriptionAndCloses) {
  if (!HaveDisplay()) GTEST_SKIP() << "needs a display";
  tvn::SplashWindow splash(0);
  EXPECT_EQ(splash.window(), nullptr);
  ASSERT_TRUE(splash.Start());
  EXPECT_NE(splash.threadId(), 0u);
  EXPECT_FALSE(splash.Start()) << "there is no second start";

  ASSERT_TRUE(WaitFor([&] { return splash.window() != nullptr; }, 10000));
  HWND window = splash.window();
  ASSERT_TRUE(IsWindow(window));
  EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), splash.threadId()) << "runs on the splash thread";
  EXPECT_NE(splash.threadId(), GetCurrentThreadId());
  EXPECT_EQ(TextOf(window), L"Tolvane 3.1");
  EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);

  HWND text = GetDlgItem(window, IDC_SPLASH_TEXT);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(TextOf(text), L"Please wait. Loading...");
  EXPECT_TRUE(IsWindowEnabled(text));
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(text, WM_GETFONT, 0, 0));
  ASSERT_NE(font, nullptr);
  LOGFONTW logFont = {};
  ASSERT_NE(GetObjectW(font, sizeof(logFont), &logFont), 0);
  EXPECT_EQ(logFont.lfHeight, 14);
  EXPECT_EQ(logFont.lfWeight, 700);
  EXPECT_EQ(std::wstring(logFont.lfFaceName), L"arial");

  HWND picture = GetDlgItem(window, IDC_SPLASH_ICON);
  ASSERT_NE(picture, nullptr);
  EXPECT_NE(SendMessageW(picture, STM_GETICON, 0, 0), 0) << "the picture shows an icon";
  EXPECT_TRUE(IsWindowEnabled(picture));
  EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_SMALL, 0), 0) << "the caption has the small icon";

  const DWORD before = GetTickCount();
  splash.Close();
  // Close returns once the splash thread has handled WM_CLOSE; the bound only
  // catches a hang (the machine may be loaded), it is no speed goal.
  EXPECT_LT(GetTickCount() - before, 8000u) << "pause 0: Close does not linger";
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(window); }, 5000)) << "the splash window is gone";
}

TEST(Splash, CloseWithoutStartOnlySleepsThePause) {
  tvn::SplashWindow idle(0);
  DWORD before = GetTickCount();
  idle.Close();
  EXPECT_LT(GetTickCount() - before, 2000u) << "no thread: nothing to wait for";
  EXPECT_EQ(idle.window(), nullptr);

  tvn::SplashWindow paused(300);
  before = GetTickCount();
  paused.Close();
  const DWORD elapsed = GetTickCount() - before;
  EXPECT_GE(elapsed, 250u);
  EXPECT_LT(elapsed, 2000u);
}

// Close never waits for a splash still being made; the splash thread then
// makes no dialog or ends it before it is shown, and ends. Without that hand-
// over nobody would end the splash and its thread would run on.
TEST(Splash, CloseWhileTheSplashIsMadeStillEndsIt) {
  if (!HaveDisplay()) GTEST_SKIP() << "needs a display";
  for (DWORD delay : {0u, 0u, 1u, 2u, 5u, 10u, 20u, 40u, 80u, 160u}) {
    tvn::SplashWindow splash(0);
    ASSERT_TRUE(splash.Start());
    const tvn::UniqueHandleKernel thread(OpenThread(SYNCHRONIZE, FALSE, splash.threadId()));
    ASSERT_TRUE(thread);
    Sleep(delay);
    splash.Close();
    EXPECT_EQ(WaitForSingleObject(thread.get(), 10000), WAIT_OBJECT_0) << "the splash thread ended, delay " << delay;
    HWND window = splash.window();
    if (window != nullptr) {
      EXPECT_FALSE(IsWindow(window)) << "delay " << delay;
    }
  }
}

// The SplashWindow may go before its thread has made anything: the state they
// share outlives it.
TEST(Splash, TheObjectMayGoBeforeItsThread) {
  if (!HaveDisplay()) GTEST_SKIP() << "needs a display";
  tvn::UniqueHandleKernel thread;
  {
    tvn::SplashWindow splash(0);
    ASSERT_TRUE(splash.Start());
    thread.reset(OpenThread(SYNCHRONIZE, FALSE, splash.threadId()));
    ASSERT_TRUE(thread);
    splash.Close();
  }
  EXPECT_EQ(WaitForSingleObject(thread.get(), 10000), WAIT_OBJECT_0);
}

TEST(Splash, WaitUntilShownReturnsOnceTheSplashIsOnTheScreen) {
  if (!HaveDisplay()) GTEST_SKIP() << "needs a display";
  tvn::SplashWindow idle(0);
  SetLastError(1234);
  idle.WaitUntilShown();  // no thread: nothing to wait for
  EXPECT_EQ(GetLastError(), 1234u);

  tvn::SplashWindow splash(0);
  ASSERT_TRUE(splash.Start());
  SetLastError(4321);
  splash.WaitUntilShown();
  EXPECT_EQ(GetLastError(), 4321u) << "a failure's code waits with it for its box";
  HWND window = splash.window();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindowVisible(window));
  splash.Close();
  EXPECT_TRUE(WaitFor([&] { return !IsWindow(window); }, 5000));
}

}  // namespace
