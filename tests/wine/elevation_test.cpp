// The token query and the elevated start on the real system. Wine 10 gives
// every process the limited half of a split token and starts "runas" with
// the full half, as Windows does for an administrator under UAC.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/win/wide.h"
#include "launching/win/elevation.h"
#include "tests/wine/support/files.h"
#include "tests/wine/support/records.h"

namespace {

const char16_t* U(const std::wstring& text) { return reinterpret_cast<const char16_t*>(text.c_str()); }

TEST(Elevation, ThisProcessHoldsTheLimitedToken) {
  tvn::Win32ElevationPlatform platform;
  std::uint32_t type = 0;
  ASSERT_TRUE(platform.ReadElevationType(type)) << platform.LastError();
  EXPECT_EQ(type, 3u);
}

TEST(Elevation, RunasStartsTheProgramWithTheFullTokenInTheGivenFolder) {
  if (!tvn_test::Exists(tvn_test::RecorderPath())) GTEST_SKIP() << "tvn_record.exe is not built";
  tvn_test::RecordFile records(tvn_test::TempDir() + L"tvn_elevation_record.log");
  tvn::Win32ElevationPlatform platform;
  const std::wstring folder = tvn_test::SystemFolder();
  ASSERT_TRUE(platform.StartElevated(U(tvn_test::RecorderPath()), u" c+", U(folder))) << platform.LastError();
  const std::vector<tvn_test::Record> started = records.WaitFor(1);
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].Number("elevation"), 2) << started[0].line();
  EXPECT_EQ(started[0].List("argv"), std::vector<std::wstring>{L"c+"}) << started[0].line();
  EXPECT_TRUE(tvn_test::SamePath(started[0].Text("cwd"), folder)) << started[0].line();
}

TEST(Elevation, RunasOfAMissingFileFailsWithItsCode) {
  tvn::Win32ElevationPlatform platform;
  const std::wstring missing = tvn_test::TempDir() + L"tvn_no_such_copy.exe";
  EXPECT_FALSE(platform.StartElevated(U(missing), u" c+", U(tvn_test::SystemFolder())));
  EXPECT_EQ(platform.LastError(), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
