// The description loader against the real registry: values written with
// RegSetValueExW under HKCU\Software\TVN\test-<pid>-<n>, loaded with the real
// registry source and handle factory. Each test deletes its key afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "base/text.h"
#include "base/win/unique_handle.h"
#include "base/win/wide.h"
#include "description/win/description.h"
#include "description/win/handle_factory.h"
#include "description/win/registry_source.h"
#include "tests/support/description_fakes.h"
#include "tests/wine/support/registry.h"

namespace tvn {
namespace {

class DescriptionRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(key.valid()); }

  void Set(const char* name, const Text& value) { ASSERT_EQ(key.Set(name, value), ERROR_SUCCESS); }
  void Set(const char* name, const char* utf8) { ASSERT_EQ(key.Set(name, utf8), ERROR_SUCCESS); }
  void SetDword(const char* name, DWORD value) { ASSERT_EQ(key.SetDword(name, value), ERROR_SUCCESS); }
  // Every value of an in-memory description, written as it stands.
  void CopyFrom(const testing_fakes::MemorySource& source) {
    for (const auto& value : source.values()) ASSERT_EQ(key.SetBytes(value.first, value.second), ERROR_SUCCESS);
  }

  static LOGFONTW FontOf(FontHandle font) {
    LOGFONTW lf = {};
    EXPECT_EQ(GetObjectW(ToFont(font), sizeof(lf), &lf), static_cast<int>(sizeof(lf)));
    return lf;
  }

  tvn_test::ScratchKey key{"test"};
  const Text& subKey = key.subKey();
  UiDescription ui;
};

TEST_F(DescriptionRegistryTest, CommandSectionLoadsFromTheRegistry) {
  Set("1#3", "TVN3: Команды#tail");
  Set("1#0", "nosuchfile.dll#0");
  Set("1.0#0", "shell32.dll");
  Set("1.1#7", "arial#15#1");
  Set("1.1#3", "system");
  Set("1.2#20", "2");
  Set("1.2.0#3", "Редактор реестра");
  Set("1.2.0#4", "regedit.exe");
  Set("1.2.0#0", "regedit.exe#0");
  Set("1.2.0#2", "32768");
  Set("1.2.0#5", "1");
  Set("1.2.0#6", "1");
  Set("1.2.1#0", "shell32.dll#-1");  // the icon count, not an icon
  Set("1.3#20", "2");
  Set("1.3.1#20", "1");
  Set("1.3.1.0#3", "entry");
  Set("1.3.1.0#4", "cmd.exe");
  Set("1.3.1.0#0", "cmd.exe#0");
  Set("1.4#3", Text(1024, u'x'));  // 1024 characters: too long, missing
  Set("1.4#9", "1");
  Set("1.5#3", Text(1023, u'y'));  // fits the value, cut to the caption buffer
  SetDword("1.6#22", 1);           // not text: missing
  SetDword("1.6#8", 1);
  Set("1.6#3", "filters#x");
  Set("1.8#8", "1");

  SetLastError(0xdeadbeef);
  ASSERT_TRUE(LoadDescription(ui, kLoadCommand, subKey));
  EXPECT_EQ(GetLastError(), 0u);
  const CommandDescription& d = ui.command;
  EXPECT_EQ(ToUtf8(d.window.text.text()), "TVN3: Команды");
  EXPECT_EQ(d.window.icon, 0u);
  EXPECT_NE(d.systemIcon.icon, 0u);
  LOGFONTW lf = FontOf(d.systemText.font);
  EXPECT_EQ(lf.lfWeight, 700);
  EXPECT_EQ(lf.lfHeight, 15);
  EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET);
  EXPECT_EQ(ToText(lf.lfFaceName), u"arial");
  ASSERT_EQ(d.list.rows.size(), 2u);
  EXPECT_EQ(ToUtf8(d.list.rows[0].text.text()), "Редактор реестра");
  EXPECT_NE(d.list.rows[0].icon, 0u);
  EXPECT_EQ(d.list.rows[0].colour, 32768u);
  EXPECT_EQ(d.list.rows[1].icon, 0u);
  ASSERT_EQ(d.menus.menus.size(), 2u);
  ASSERT_EQ(d.menus.menus[1].entries.size(), 1u);
  EXPECT_EQ(d.menus.menus[1].entries[0].command.text(), u"cmd.exe");
  EXPECT_NE(d.menus.menus[1].entries[0].icon, 0u);
  // Missing fonts are still made: the platform's default mapping.
  LOGFONTW def = FontOf(d.menus.menus[0].font);
  EXPECT_EQ(def.lfWeight, 400);
  EXPECT_EQ(def.lfHeight, 0);
  EXPECT_EQ(d.commandLine.text.text(), u"");
  EXPECT_TRUE(d.commandLine.focus);
  EXPECT_EQ(d.browse.text.text().size(), 511u);
  EXPECT_FALSE(d.filterSupport.checked);
  EXPECT_TRUE(d.filterSupport.enabled);
  EXPECT_EQ(d.filterSupport.text.text(), u"filters");
  EXPECT_FALSE(d.execute.enabled);

  HICON icon = ToIcon(d.list.rows[0].icon);
  ICONINFO info = {};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  const UniqueBitmap color(info.hbmColor);  // GetIconInfo's copies are the caller's
  const UniqueBitmap mask(info.hbmMask);
  HFONT font = ToFont(d.systemText.font);

  SetLastError(0x1234);
  ReleaseDescription(ui, kLoadCommand);
  EXPECT_EQ(GetLastError(), 0x1234u);
  EXPECT_EQ(GetObjectW(font, 0, nullptr), 0);  // deleted
  EXPECT_EQ(ui.command.list.rows.size(), 0u);
  EXPECT_EQ(ui.command.systemText.font, 0u);
}

TEST_F(DescriptionRegistryTest, MissingKeyFailsWithTheOpenStatus) {
  Text absent = subKey + u"\\absent";
  SetLastError(0);
  EXPECT_FALSE(LoadDescription(ui, kLoadLogon, absent));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(ui.logon.window.text.allocated());
  EXPECT_EQ(ui.logon.systemText.font, 0u);
}

TEST_F(DescriptionRegistryTest, SourceReportsStatuses) {
  RegistrySource source;
  std::uint8_t buffer[kValueBytes];
  std::size_t bytes = 99;
  EXPECT_EQ(source.QueryValue(u"1#3", buffer, sizeof buffer, bytes), static_cast<std::uint32_t>(ERROR_INVALID_HANDLE));
  ASSERT_EQ(source.OpenKey(subKey), 0u);
  Set("short", "abc");
  Set("long", Text(1500, u'z'));
  SetDword("number", 5);
  EXPECT_EQ(source.QueryValue(u"short", buffer, sizeof buffer, bytes), 0u);
  EXPECT_EQ(bytes, 8u);  // terminator included
  EXPECT_EQ(source.QueryValue(u"long", buffer, sizeof buffer, bytes), static_cast<std::uint32_t>(ERROR_MORE_DATA));
  EXPECT_EQ(bytes, 0u);
  EXPECT_EQ(source.QueryValue(u"number", buffer, sizeof buffer, bytes),
            static_cast<std::uint32_t>(ERROR_UNSUPPORTED_TYPE));
  EXPECT_EQ(source.QueryValue(u"absent", buffer, sizeof buffer, bytes),
            static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(source.CloseKey(), 0u);
  EXPECT_EQ(source.CloseKey(), 0u);
}

TEST_F(DescriptionRegistryTest, HelpAndSplashSections) {
  testing_fakes::MemorySource memory;
  std::string error;
  ASSERT_TRUE(testing_fakes::LoadDump(memory, testing_fakes::kLogonDump, error)) << error;
  CopyFrom(memory);
  ASSERT_TRUE(LoadDescription(ui, kLoadHelp, subKey));
  EXPECT_NE(ui.help.window.icon, 0u);
  EXPECT_NE(ui.help.icon.icon, 0u);
  EXPECT_EQ(FontOf(ui.help.about.font).lfHeight, 15);
  EXPECT_TRUE(ui.help.close.focus);
  ReleaseDescription(ui, kLoadHelp);

  ASSERT_TRUE(LoadDescription(ui, kLoadSplash, Text()));
  EXPECT_NE(ui.splash.window.icon, 0u);
  EXPECT_NE(ui.splash.picture.icon, 0u);
  LOGFONTW lf = FontOf(ui.splash.text.font);
  EXPECT_EQ(lf.lfWeight, 700);
  EXPECT_EQ(lf.lfHeight, 14);
  ReleaseDescription(ui, kLoadSplash);
  EXPECT_EQ(ui.splash.window.icon, 0u);
}

// Load(1) + Release(1) of the whole default command description (16 rows,
// 8 menus, from the expected dump of the script's d2 run); prints the mean
// time per load. No assertion on the time.
TEST_F(DescriptionRegistryTest, LoadCommandTiming) {
  testing_fakes::MemorySource memory;
  std::string error;
  ASSERT_TRUE(testing_fakes::LoadDump(memory, testing_fakes::kCommandDump, error)) << error;
  CopyFrom(memory);
  constexpr int kLoads = 200;
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kLoads; ++i) {
    ASSERT_TRUE(LoadDescription(ui, kLoadCommand, subKey));
    ASSERT_EQ(ui.command.list.rows.size(), 16u);
    ASSERT_EQ(ui.command.menus.menus.size(), 8u);
    ReleaseDescription(ui, kLoadCommand);
  }
  double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
  std::printf("[ TIMING   ] Load(1)+Release(1) against the registry: %.1f us per load (%d loads)\n", us / kLoads,
              kLoads);

  // The registry reads alone, with handles counted instead of made.
  start = std::chrono::steady_clock::now();
  for (int i = 0; i < kLoads; ++i) {
    RegistrySource source;
    testing_fakes::CountingFactory factory;
    std::uint32_t lastError = 0;
    ASSERT_TRUE(Load(ui, kLoadCommand, subKey, source, factory, lastError));
    Release(ui, kLoadCommand, factory);
    ASSERT_EQ(factory.misuse, 0);
  }
  us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
  std::printf("[ TIMING   ] of which registry reads (no icons or fonts made): %.1f us per load\n", us / kLoads);
}

}  // namespace
}  // namespace tvn
