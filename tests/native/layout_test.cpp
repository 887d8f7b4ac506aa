#include "dialogs/layout.h"

#include <gtest/gtest.h>

#include <map>

namespace tvn {
namespace {

// A window system of one dialog whose client area starts at screen (100, 50),
// with a few children. Calls are counted; failures can be forced.
class FakeWindows : public LayoutWindowOps {
 public:
  static constexpr WindowId kDialog = 1;
  static constexpr std::uint32_t kNotFound = 1421;  // ERROR_CONTROL_ID_NOT_FOUND

  FakeWindows() : client{0, 0, 500, 380} {
    windows[kDialog] = {90, 20, 90 + 520, 20 + 420};  // frame included
  }

  void AddChild(int id, WindowId handle, LayoutRect clientRect) {
    ids[id] = handle;
    windows[handle] = {clientRect.left + kOriginX, clientRect.top + kOriginY, clientRect.right + kOriginX,
                       clientRect.bottom + kOriginY};
  }
  // The child's current rectangle in client coordinates.
  LayoutRect ChildRect(WindowId handle) {
    LayoutRect r = windows[handle];
    return {r.left - kOriginX, r.top - kOriginY, r.right - kOriginX, r.bottom - kOriginY};
  }

  WindowId ChildById(WindowId dialog, int controlId) override {
    auto it = ids.find(controlId);
    if (dialog != kDialog || it == ids.end()) {
      error = kNotFound;
      return 0;
    }
    return it->second;
  }
  bool WindowRect(WindowId window, LayoutRect& rect) override {
    auto it = windows.find(window);
    if (it == windows.end() || window == failingRects) {
      rect = {1, 2, 3000, 4000};  // a failing call may leave rubbish behind
      error = 1400;               // ERROR_INVALID_WINDOW_HANDLE
      return false;
    }
    rect = it->second;
    return true;
  }
  bool ClientRect(WindowId window, LayoutRect& rect) override {
    if (window != kDialog || window == failingRects) {
      rect = {1, 2, 3000, 4000};
      error = 1400;
      return false;
    }
    rect = client;
    return true;
  }
  bool ScreenToClient(WindowId window, std::int32_t& x, std::int32_t& y) override {
    if (window != kDialog || screenToClientFails) {
      error = 1400;
      return false;
    }
    x -= kOriginX;
    y -= kOriginY;
    return true;
  }
  std::int32_t ScreenWidth() override { return screenWidth; }
  std::int32_t ScreenHeight() override { return screenHeight; }
  bool Place(WindowId window, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) override {
    ++placeCalls;
    if (window == failingWindow) {
      error = 5;
      return false;
    }
    if (window == kDialog) {
      dialogPlacement = {x, y, x + width, y + height};
      return true;
    }
    windows[window] = {x + kOriginX, y + kOriginY, x + width + kOriginX, y + height + kOriginY};
    return true;
  }
  bool InvalidateAll(WindowId window) override {
    ++invalidations;
    if (window != kDialog || invalidateFails) {
      error = 8;
      return false;
    }
    return true;
  }
  std::uint32_t LastError() override { return error; }
  void SetLastError(std::uint32_t code) override { error = code; }

  static constexpr std::int32_t kOriginX = 100;
  static constexpr std::int32_t kOriginY = 50;
  std::map<int, WindowId> ids;
  std::map<WindowId, LayoutRect> windows;
  LayoutRect client;
  LayoutRect dialogPlacement;
  std::int32_t screenWidth = 1024;
  std::int32_t screenHeight = 768;
  WindowId failingWindow = 0;  // Place fails for it
  WindowId failingRects = 0;   // WindowRect and ClientRect fail for it
  bool screenToClientFails = false;
  bool invalidateFails = false;
  int placeCalls = 0;
  int invalidations = 0;
  std::uint32_t error = 0;
};

bool SameRect(const LayoutRect& a, const LayoutRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(LayoutAxis, RulesAreMaxClamped) {
  // Move and stretch follow growth, and never go below the registered values.
  EXPECT_EQ(PlaceOnAxis(AnchorMove, 10, 50, 540, 500).position, 50);
  EXPECT_EQ(PlaceOnAxis(AnchorMove, 10, 50, 460, 500).position, 10);
  EXPECT_EQ(PlaceOnAxis(AnchorMove, 10, 50, 540, 500).extent, 50);
  EXPECT_EQ(PlaceOnAxis(AnchorStretch, 10, 50, 530, 500).extent, 80);
  EXPECT_EQ(PlaceOnAxis(AnchorStretch, 10, 50, 0, 500).extent, 50);
  EXPECT_EQ(PlaceOnAxis(AnchorStretch, 10, 50, 530, 500).position, 10);
  // Fixed, and every unknown value, keep both.
  for (int rule : {2, 0, 5, -1, 32767}) {
    AxisPlacement p = PlaceOnAxis(static_cast<AnchorRule>(rule), 7, 9, 900, 100);
    EXPECT_EQ(p.position, 7) << rule;
    EXPECT_EQ(p.extent, 9) << rule;
  }
}

TEST(LayoutAxis, CentreTruncatesEachHalfSeparately) {
  EXPECT_EQ(PlaceOnAxis(AnchorCentre, 20, 101, 300, 200).position, 100);  // 150 - 50
  EXPECT_EQ(PlaceOnAxis(AnchorCentre, 20, 101, 100, 200).position, 20);   // max with x
  EXPECT_EQ(PlaceOnAxis(AnchorCentre, 0, 101, 301, 200).position, 100);   // 150 - 50, not (301 - 101) / 2
  EXPECT_EQ(PlaceOnAxis(AnchorCentre, 20, 101, 300, 200).extent, 101);
  EXPECT_EQ(CentredOrigin(1366, 501), 433);
  EXPECT_EQ(CentredOrigin(1023, 3), 510);
}

TEST(LayoutAxis, ExtremeValuesClampInsteadOfOverflowing) {
  const std::int32_t big = 2147483647;
  EXPECT_EQ(PlaceOnAxis(AnchorMove, big - 5, 10, 65535, 0).position, big);
  EXPECT_EQ(PlaceOnAxis(AnchorStretch, 0, big - 5, 65535, 0).extent, big);
}

class LayoutTest : public ::testing::Test {
 protected:
  LayoutTest() : layout(fake) {
    fake.AddChild(10, 110, {5, 5, 25, 25});        // fixed
    fake.AddChild(11, 111, {30, 5, 480, 40});      // stretch across
    fake.AddChild(12, 112, {5, 50, 495, 300});     // stretch both
    fake.AddChild(13, 113, {400, 340, 490, 370});  // move both
    fake.AddChild(14, 114, {5, 340, 95, 370});     // fixed across, move down
  }
  void BindAll() {
    layout.Bind(FakeWindows::kDialog, -1, -1, -1, -1);
    layout.AddControl(10, AnchorFixed, AnchorFixed);
    layout.AddControl(11, AnchorStretch, AnchorFixed);
    layout.AddControl(12, AnchorStretch, AnchorStretch);
    layout.AddControl(13, AnchorMove, AnchorMove);
    layout.AddControl(14, AnchorFixed, AnchorMove);
  }
  FakeWindows fake;
  DialogLayout layout;
};

TEST_F(LayoutTest, BindCentresTheWindowAndKeepsItsSize) {
  fake.screenWidth = 1366;
  fake.screenHeight = 768;
  fake.windows[FakeWindows::kDialog] = {0, 0, 501, 300};
  layout.Bind(FakeWindows::kDialog, -1, -1, -1, -1);
  EXPECT_TRUE(SameRect(fake.dialogPlacement, {433, 234, 433 + 501, 234 + 300}));
  EXPECT_EQ(layout.InitialWindowSize().width, 501);
  EXPECT_EQ(layout.InitialWindowSize().height, 300);

  layout.Bind(FakeWindows::kDialog, 7, 8, 200, 100);  // explicit values are taken as they are
  EXPECT_TRUE(SameRect(fake.dialogPlacement, {7, 8, 207, 108}));
}

TEST_F(LayoutTest, EntriesAreNewestFirstInClientCoordinates) {
  BindAll();
  ASSERT_EQ(layout.entries().size(), 5u);
  EXPECT_EQ(layout.entries().front().control, 114u);
  EXPECT_EQ(layout.entries().back().control, 110u);
  const LayoutEntry& moved = layout.entries()[1];
  EXPECT_EQ(moved.x, 400);
  EXPECT_EQ(moved.y, 340);
  EXPECT_EQ(moved.width, 90);
  EXPECT_EQ(moved.height, 30);
  EXPECT_EQ(fake.error, 0u);
}

TEST_F(LayoutTest, EnlargeMinimiseAndRestore) {
  BindAll();
  layout.Resize(540, 410);  // +40 x +30
  EXPECT_TRUE(SameRect(fake.ChildRect(110), {5, 5, 25, 25}));
  EXPECT_TRUE(SameRect(fake.ChildRect(111), {30, 5, 520, 40}));
  EXPECT_TRUE(SameRect(fake.ChildRect(112), {5, 50, 535, 330}));
  EXPECT_TRUE(SameRect(fake.ChildRect(113), {440, 370, 530, 400}));
  EXPECT_TRUE(SameRect(fake.ChildRect(114), {5, 370, 95, 400}));
  EXPECT_GE(fake.invalidations, 1);

  layout.Resize(0, 0);  // minimised: everything back at its registered rectangle, nothing smaller
  EXPECT_TRUE(SameRect(fake.ChildRect(111), {30, 5, 480, 40}));
  EXPECT_TRUE(SameRect(fake.ChildRect(112), {5, 50, 495, 300}));
  EXPECT_TRUE(SameRect(fake.ChildRect(113), {400, 340, 490, 370}));

  layout.Resize(540, 410);
  layout.Resize(540, 410);  // repeated resizing does not accumulate
  EXPECT_TRUE(SameRect(fake.ChildRect(113), {440, 370, 530, 400}));
  layout.Resize(500, 380);  // back to W0 x H0
  EXPECT_TRUE(SameRect(fake.ChildRect(110), {5, 5, 25, 25}));
  EXPECT_TRUE(SameRect(fake.ChildRect(111), {30, 5, 480, 40}));
  EXPECT_TRUE(SameRect(fake.ChildRect(112), {5, 50, 495, 300}));
  EXPECT_TRUE(SameRect(fake.ChildRect(113), {400, 340, 490, 370}));
  EXPECT_TRUE(SameRect(fake.ChildRect(114), {5, 340, 95, 370}));
}

TEST_F(LayoutTest, UnknownIdLeavesTheLayoutUsable) {
  layout.Bind(FakeWindows::kDialog, -1, -1, -1, -1);
  layout.AddControl(13, AnchorMove, AnchorMove);
  layout.AddControl(999, AnchorMove, AnchorMove);
  EXPECT_EQ(fake.error, FakeWindows::kNotFound);
  ASSERT_EQ(layout.entries().size(), 2u);
  EXPECT_EQ(layout.entries().front().control, 0u);
  layout.AddControl(14, AnchorFixed, AnchorMove);
  EXPECT_EQ(fake.error, 0u);

  const int before = fake.placeCalls;
  layout.Resize(540, 410);
  EXPECT_EQ(fake.placeCalls - before, 2);  // the entry without a control is skipped
  EXPECT_TRUE(SameRect(fake.ChildRect(113), {440, 370, 530, 400}));
  EXPECT_EQ(fake.error, 0u);
}

TEST_F(LayoutTest, AFailingMoveDoesNotStopTheWalk) {
  BindAll();
  fake.failingWindow = 113;
  layout.Resize(540, 410);
  EXPECT_TRUE(SameRect(fake.ChildRect(112), {5, 50, 535, 330}));  // registered before the failing one
  EXPECT_TRUE(SameRect(fake.ChildRect(114), {5, 370, 95, 400}));  // registered after it
  EXPECT_EQ(fake.error, 5u);
  fake.failingWindow = 0;
  layout.Resize(540, 410);
  EXPECT_EQ(fake.error, 0u);
}

// Steps that fail: their rubbish is never used, and their code is what the
// last error ends with.
TEST_F(LayoutTest, FailingReadsAndInvalidationAreNoticed) {
  fake.failingRects = FakeWindows::kDialog;
  layout.Bind(FakeWindows::kDialog, -1, -1, -1, -1);
  EXPECT_EQ(layout.InitialWindowSize().width, 0);
  EXPECT_EQ(layout.InitialWindowSize().height, 0);
  EXPECT_TRUE(SameRect(layout.initialClient(), {}));
  EXPECT_TRUE(SameRect(fake.dialogPlacement, {512, 384, 512, 384}));  // a 0 x 0 window, centred

  fake.failingRects = 0;
  fake.screenToClientFails = true;
  layout.AddControl(13, AnchorMove, AnchorMove);
  EXPECT_EQ(fake.error, 1400u);
  ASSERT_EQ(layout.entries().size(), 1u);
  EXPECT_EQ(layout.entries().front().control, 0u);  // never laid out from a rectangle it could not read

  fake.screenToClientFails = false;
  fake.invalidateFails = true;
  layout.Resize(540, 410);
  EXPECT_EQ(fake.error, 8u);
}

// Rectangles from a hostile window system: extents beyond the 32-bit range
// are clamped to it, never wrapped.
TEST_F(LayoutTest, ReversedExtremeRectanglesClamp) {
  const std::int32_t low = -2147483647 - 1;
  const std::int32_t high = 2147483647;
  fake.windows[FakeWindows::kDialog] = {high, high, low, low};
  fake.ids[20] = 120;
  fake.windows[120] = {high, high, low, low};
  layout.Bind(FakeWindows::kDialog, 0, 0, 10, 10);
  EXPECT_EQ(layout.InitialWindowSize().width, low);
  EXPECT_EQ(layout.InitialWindowSize().height, low);
  layout.AddControl(20, AnchorFixed, AnchorFixed);
  ASSERT_EQ(layout.entries().size(), 1u);
  EXPECT_EQ(layout.entries().front().width, low);
  EXPECT_EQ(layout.entries().front().height, low);
}

// Bind without Release (the dialog opened again) starts an empty list too.
TEST_F(LayoutTest, BindWithoutReleaseStartsAfresh) {
  BindAll();
  layout.Bind(FakeWindows::kDialog, -1, -1, -1, -1);
  EXPECT_TRUE(layout.entries().empty());
  layout.AddControl(14, AnchorFixed, AnchorMove);
  ASSERT_EQ(layout.entries().size(), 1u);
  EXPECT_EQ(layout.entries().front().control, 114u);
  EXPECT_EQ(layout.entries().front().width, 90);
  EXPECT_EQ(layout.entries().front().height, 30);
}

TEST_F(LayoutTest, UnboundLayoutDoesNothingAndReleaseIsRepeatable) {
  EXPECT_EQ(layout.InitialWindowSize().width, 0);
  EXPECT_EQ(layout.InitialWindowSize().height, 0);
  layout.Resize(540, 410);  // before the first Bind
  layout.AddControl(13, AnchorMove, AnchorMove);
  EXPECT_EQ(fake.placeCalls, 0);
  EXPECT_EQ(fake.invalidations, 0);
  EXPECT_TRUE(layout.entries().empty());

  BindAll();
  layout.Release();
  layout.Release();
  EXPECT_TRUE(layout.entries().empty());
  EXPECT_FALSE(layout.bound());
  layout.AddControl(13, AnchorMove, AnchorMove);  // use after Release
  EXPECT_TRUE(layout.entries().empty());
  const int before = fake.placeCalls;
  layout.Resize(540, 410);
  EXPECT_EQ(fake.placeCalls, before);
  EXPECT_EQ(layout.InitialWindowSize().width, 520);  // the previous opening's size stays readable
  EXPECT_EQ(layout.InitialWindowSize().height, 420);

  BindAll();  // a second opening starts afresh
  EXPECT_EQ(layout.entries().size(), 5u);
  layout.Resize(540, 410);
  EXPECT_TRUE(SameRect(fake.ChildRect(113), {440, 370, 530, 400}));
}

}  // namespace
}  // namespace tvn
