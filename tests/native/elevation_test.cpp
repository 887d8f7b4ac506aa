#include "launcher/elevation.h"

#include <gtest/gtest.h>

#include <string>

namespace tvn {
namespace {

TEST(Elevation, OnlyAnUnmarkedCommandCopyWithTheLimitedTokenElevates) {
  for (UiMode mode : {UiMode::Logon, UiMode::Commands, UiMode::Diagnostics}) {
    for (std::uint32_t type : {0u, 1u, 2u, 3u, 4u}) {  // 0 and 4: no split token (Windows 2000, a stray value)
      for (bool marked : {false, true}) {
        const bool expected = mode == UiMode::Commands && type == 3 && !marked;
        EXPECT_EQ(DecideElevation(ElevationTypeOf(true, type), marked, mode) == ElevationStep::Elevate, expected)
            << static_cast<int>(mode) << " " << type << " " << marked;
      }
    }
  }
  EXPECT_EQ(ElevationTypeOf(false, 3), ElevationType::NoSplitToken);  // the query failed
  EXPECT_EQ(ElevationTypeOf(true, 1), ElevationType::Default);
  EXPECT_EQ(ElevationTypeOf(true, 2), ElevationType::Full);
}

struct FakeElevation : ElevationPlatform {
  bool readable = true;
  std::uint32_t type = 3;
  bool startFails = false;
  std::uint32_t startCode = 0;
  int starts = 0;
  std::u16string call;  // file|parameters|directory of the last start
  std::uint32_t error = 0;

  bool ReadElevationType(std::uint32_t& value) override {
    value = type;
    error = readable ? 0 : kStatusInvalidParameter;
    return readable;
  }
  bool StartElevated(const char16_t* file, const char16_t* parameters, const char16_t* directory) override {
    ++starts;
    call = std::u16string(file) + u"|" + parameters + u"|" + directory;
    error = startFails ? startCode : 0;
    return !startFails;
  }
  std::uint32_t LastError() override { return error; }
};

ElevationOutcome Elevate(FakeElevation& fake, const char16_t* tail, const char16_t* exe = u"C:\\T\\TVN.exe") {
  return ElevateIfNeeded(fake, ParseCommandLine(tail), exe, u"C:\\WINDOWS\\system32");
}

TEST(Elevation, TheCommandCopyStartsItselfMarkedOrGoesOnWithTheReason) {
  FakeElevation fake;
  ElevationOutcome outcome = Elevate(fake, u" c");
  EXPECT_TRUE(outcome.handedOver);
  EXPECT_EQ(outcome.startError, 0u);
  EXPECT_EQ(fake.call, u"C:\\T\\TVN.exe| c+|C:\\WINDOWS\\system32");
  // The marked tail, as the parser reads it, asks nothing.
  EXPECT_TRUE(ParseCommandLine(kMarkedCommandModeTail).elevationMarked);
  EXPECT_FALSE(ParseCommandLine(u"c \"+\"").elevationMarked);
  EXPECT_EQ(ParseCommandLine(u" +").uiMode, UiMode::Logon);  // the marker chooses no mode

  for (std::uint32_t code : {kStatusCancelled, 0u}) {  // refused; failed without a code
    fake.startFails = true;
    fake.startCode = code;
    outcome = Elevate(fake, u" c");
    EXPECT_FALSE(outcome.handedOver);
    EXPECT_EQ(outcome.startError, code != 0 ? code : kUnreportedFailure);
  }
  fake.starts = 0;
  EXPECT_EQ(Elevate(fake, u" c", u"").startError, kPathNotFound);
  EXPECT_EQ(ElevateIfNeeded(fake, ParseCommandLine(u" c"), u"C:\\T\\TVN.exe", u"").startError, kPathNotFound);
  EXPECT_EQ(fake.starts, 0);
}

TEST(Elevation, NothingStartsWithoutASplitTokenOrWithTheMarker) {
  FakeElevation fake;
  fake.readable = false;  // Windows 2000
  EXPECT_EQ(Elevate(fake, u" c").startError, 0u);
  fake.readable = true;
  // The resource tool runs even where the tail also names the command mode.
  for (const char16_t* tail : {u" c+", u" t", u"", u"e \"x\" \"10\" \"750\"", u"ce \"x\" \"10\" \"750\""}) {
    const ElevationOutcome outcome = Elevate(fake, tail);
    EXPECT_FALSE(outcome.handedOver) << ToUtf8(tail);
    EXPECT_EQ(outcome.startError, 0u) << ToUtf8(tail);
  }
  EXPECT_EQ(fake.starts, 0);
}

}  // namespace
}  // namespace tvn
