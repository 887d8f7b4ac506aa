#include "launcher/elevation.h"

#include <gtest/gtest.h>

#include <string>

namespace tvn {
namespace {

TEST(Elevation, OnlyAnUnmarkedCommandCopyWithTheLimitedTokenElevates) {
  const ElevationType types[] = {ElevationType::NoSplitToken, ElevationType::Default, ElevationType::Full,
                                 ElevationType::Limited};
  for (UiMode mode : {UiMode::Logon, UiMode::Commands, UiMode::Diagnostics}) {
    for (ElevationType type : types) {
      for (bool marked : {false, true}) {
        const bool expected = mode == UiMode::Commands && type == ElevationType::Limited && !marked;
        EXPECT_EQ(DecideElevation(type, marked, mode) == ElevationStep::Elevate, expected)
            << "mode " << static_cast<int>(mode) << " type " << static_cast<int>(type) << " marked " << marked;
      }
    }
  }
}

TEST(Elevation, TokenQueryOutcomes) {
  EXPECT_EQ(ElevationTypeOf(true, 1), ElevationType::Default);
  EXPECT_EQ(ElevationTypeOf(true, 2), ElevationType::Full);
  EXPECT_EQ(ElevationTypeOf(true, 3), ElevationType::Limited);
  // A failed query (Windows 2000: ERROR_INVALID_PARAMETER) and a value the
  // system should not give both mean that no token is split.
  EXPECT_EQ(ElevationTypeOf(false, 3), ElevationType::NoSplitToken);
  EXPECT_EQ(ElevationTypeOf(true, 0), ElevationType::NoSplitToken);
  EXPECT_EQ(ElevationTypeOf(true, 4), ElevationType::NoSplitToken);
}

TEST(Elevation, TheMarkerCountsOnlyOutsideQuotes) {
  EXPECT_TRUE(ParseCommandLine(kMarkedCommandModeTail).elevationMarked);
  EXPECT_EQ(ParseCommandLine(kMarkedCommandModeTail).uiMode, UiMode::Commands);
  EXPECT_FALSE(ParseCommandLine(u" c").elevationMarked);
  EXPECT_FALSE(ParseCommandLine(u"c \"+\"").elevationMarked);
  // The marker selects no mode: alone it leaves the log-on mode.
  EXPECT_EQ(ParseCommandLine(u" +").uiMode, UiMode::Logon);
}

class FakeElevation : public ElevationPlatform {
 public:
  bool readable = true;
  std::uint32_t type = 3;
  bool startWorks = true;
  std::uint32_t startCode = kStatusCancelled;
  int starts = 0;
  std::u16string file, parameters, directory;
  std::uint32_t error = 0;

  bool ReadElevationType(std::uint32_t& value) override {
    error = readable ? 0 : kStatusInvalidParameter;
    if (readable) value = type;
    return readable;
  }
  bool StartElevated(const char16_t* f, const char16_t* p, const char16_t* d) override {
    ++starts;
    file = f;
    parameters = p;
    directory = d;
    error = startWorks ? 0 : startCode;
    return startWorks;
  }
  std::uint32_t LastError() override { return error; }
};

const char16_t kExe[] = u"C:\\Tools\\TVN.exe";
const char16_t kSystem[] = u"C:\\WINDOWS\\system32";

TEST(Elevation, TheLimitedCommandCopyStartsItselfMarkedInTheSystemFolder) {
  FakeElevation fake;
  const ElevationOutcome outcome = ElevateIfNeeded(fake, ParseCommandLine(u" c"), kExe, kSystem);
  EXPECT_TRUE(outcome.handedOver);
  EXPECT_EQ(outcome.startError, 0u);
  EXPECT_EQ(fake.starts, 1);
  EXPECT_EQ(fake.file, kExe);
  EXPECT_EQ(fake.parameters, kMarkedCommandModeTail);
  EXPECT_EQ(fake.directory, kSystem);
}

TEST(Elevation, AFailedStartGoesOnWithItsCode) {
  FakeElevation fake;
  fake.startWorks = false;
  ElevationOutcome outcome = ElevateIfNeeded(fake, ParseCommandLine(u" c"), kExe, kSystem);
  EXPECT_FALSE(outcome.handedOver);
  EXPECT_EQ(outcome.startError, kStatusCancelled);

  // A failure without a code still reads as a failure.
  fake.startCode = 0;
  outcome = ElevateIfNeeded(fake, ParseCommandLine(u" c"), kExe, kSystem);
  EXPECT_EQ(outcome.startError, kUnreportedFailure);

  // Without a path nothing is started.
  fake.starts = 0;
  outcome = ElevateIfNeeded(fake, ParseCommandLine(u" c"), u"", kSystem);
  EXPECT_FALSE(outcome.handedOver);
  EXPECT_EQ(outcome.startError, kPathNotFound);
  EXPECT_EQ(fake.starts, 0);
}

TEST(Elevation, NothingStartsWithoutASplitTokenOrWithTheMarker) {
  struct Case {
    const char16_t* tail;
    bool readable;
    std::uint32_t type;
  } cases[] = {
      {u" c", false, 3},                  // the query fails: Windows 2000
      {u" c", true, 1},                   // a limited account
      {u" c", true, 2},                   // already elevated (Refresh of an elevated copy)
      {kMarkedCommandModeTail, true, 3},  // the elevated copy, given a limited token all the same
      {u" t", true, 3},
      {u"", true, 3},
      {u"e \"x\" \"10\" \"750\"", true, 3},
  };
  for (const Case& c : cases) {
    FakeElevation fake;
    fake.readable = c.readable;
    fake.type = c.type;
    const ElevationOutcome outcome = ElevateIfNeeded(fake, ParseCommandLine(c.tail), kExe, kSystem);
    EXPECT_FALSE(outcome.handedOver) << ToUtf8(c.tail) << " " << c.type;
    EXPECT_EQ(outcome.startError, 0u) << ToUtf8(c.tail) << " " << c.type;
    EXPECT_EQ(fake.starts, 0) << ToUtf8(c.tail) << " " << c.type;
  }
}

}  // namespace
}  // namespace tvn
