#include "base/scope_guard.h"

#include <gtest/gtest.h>

#include <utility>

namespace tvn {
namespace {

TEST(ScopeGuard, RunsOnceOnEveryWayOutUnlessDismissed) {
  int runs = 0;
  {
    auto guard = MakeScopeGuard([&runs] { ++runs; });
    EXPECT_EQ(runs, 0) << "nothing runs before the scope ends";
  }
  EXPECT_EQ(runs, 1);

  // An early return leaves through the guard as well.
  auto leaveEarly = [&runs](bool early) {
    auto guard = MakeScopeGuard([&runs] { ++runs; });
    if (early) return 1;
    guard.Dismiss();
    return 2;
  };
  EXPECT_EQ(leaveEarly(true), 1);
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(leaveEarly(false), 2);
  EXPECT_EQ(runs, 2) << "a dismissed guard does nothing";
}

TEST(ScopeGuard, AMovedGuardRunsOnlyInItsNewPlace) {
  int runs = 0;
  {
    auto first = MakeScopeGuard([&runs] { ++runs; });
    {
      auto second = std::move(first);
      EXPECT_EQ(runs, 0);
    }
    EXPECT_EQ(runs, 1) << "the new guard runs when its scope ends";
  }
  EXPECT_EQ(runs, 1) << "the moved-from guard does not run a second time";

  {
    auto first = MakeScopeGuard([&runs] { ++runs; });
    first.Dismiss();
    auto second = std::move(first);
  }
  EXPECT_EQ(runs, 1) << "moving keeps a dismissal";
}

}  // namespace
}  // namespace tvn
