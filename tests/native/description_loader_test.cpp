#include <gtest/gtest.h>

#include "description/loader.h"
#include "tests/support/description_fakes.h"

namespace tvn {
namespace {

using testing_fakes::CountingFactory;
using testing_fakes::DumpSystem;
using testing_fakes::DumpValue;
using testing_fakes::kCommandDump;
using testing_fakes::kLogonDump;
using testing_fakes::LoadDump;
using testing_fakes::MemorySource;
using testing_fakes::ParseDump;
using testing_fakes::ReadDump;

const TextView kSubKey = u"Software\\TVN\\42";

std::string T(const TextBuffer& b) { return ToUtf8(b.text()); }

// Every handle made was given back exactly once.
void ExpectAllFreed(const CountingFactory& f) {
  EXPECT_EQ(f.misuse, 0);
  EXPECT_TRUE(f.liveIcons.empty());
  EXPECT_TRUE(f.liveFonts.empty());
  EXPECT_EQ(f.iconsMade, f.iconsDestroyed);
  EXPECT_EQ(f.fontsMade, f.fontsDeleted);
}

bool BufferEmpty(const TextBuffer& b) { return !b.allocated() && b.capacity() == 0 && b.empty(); }

bool ControlEmpty(const ControlDescription& c) {
  return c.icon == 0 && c.font == 0 && BufferEmpty(c.text) && BufferEmpty(c.command) && c.colour == 0 &&
         c.menuType == 0 && c.menuNumber == 0 && !c.enabled && !c.focus && !c.checked;
}

class LoaderTest : public ::testing::Test {
 protected:
  bool DoLoad(LoadMode mode) { return Load(ui, mode, kSubKey, key, factory, lastError); }
  // The real default description: what the script writes for d1 or d2.
  void WriteDump(const char* file) {
    std::string error;
    ASSERT_TRUE(LoadDump(key, file, error)) << error;
  }
  const FontSpec& FontOf(FontHandle h) {
    static const FontSpec none;
    const FontSpec* spec = factory.FontOf(h);
    EXPECT_NE(spec, nullptr);
    return spec ? *spec : none;
  }

  MemorySource key;
  CountingFactory factory;
  UiDescription ui;
  std::uint32_t lastError = 0xdeadbeef;
};

TEST_F(LoaderTest, DefaultLogonSection) {
  ASSERT_NO_FATAL_FAILURE(WriteDump(kLogonDump));
  ASSERT_TRUE(DoLoad(kLoadLogon));
  EXPECT_EQ(lastError, 0u);
  EXPECT_EQ(key.openedKey, kSubKey);
  EXPECT_FALSE(key.open);  // closed after the load
  const LogonDescription& d = ui.logon;
  EXPECT_EQ(T(d.window.text), "TVN3: Авторизация");
  EXPECT_EQ(factory.IconOf(d.window.icon), "shell32.dll#44");
  EXPECT_EQ(d.window.font, 0u);
  EXPECT_FALSE(d.window.enabled);
  EXPECT_EQ(factory.IconOf(d.systemIcon.icon), "shell32.dll#221");
  EXPECT_TRUE(d.systemIcon.enabled);
  EXPECT_EQ(T(d.systemText.text), "ОС: Microsoft Windows 7\r\nПользователь: tester");
  EXPECT_EQ(T(d.domainLabel.text), "Имя домена:");
  EXPECT_EQ(FontOf(d.domainLabel.font).weight, 700);
  EXPECT_EQ(FontOf(d.domainLabel.font).height, 15);
  EXPECT_EQ(d.domain.count, 0u);
  EXPECT_TRUE(d.domain.items.empty());
  EXPECT_EQ(d.domain.selected, 0);
  EXPECT_TRUE(d.domain.focus);
  EXPECT_TRUE(d.domain.enabled);
  EXPECT_EQ(FontOf(d.domain.font).height, 14);
  EXPECT_FALSE(d.user.focus);
  EXPECT_TRUE(d.password.text.allocated());
  EXPECT_EQ(T(d.password.text), "");
  EXPECT_FALSE(d.ignoreUac.enabled);
  EXPECT_FALSE(d.loadProfile.enabled);
  EXPECT_FALSE(d.loadProfile.checked);
  EXPECT_TRUE(d.currentUser.enabled);
  EXPECT_EQ(T(d.logOn.text), "Войти");
  EXPECT_EQ(T(d.help.text), "?");
  EXPECT_EQ(d.help.text.capacity(), kCaptionUnits);

  Release(ui, kLoadLogon, factory);
  ExpectAllFreed(factory);
  EXPECT_EQ(factory.iconsMade, 5);   // window, 0.0, 0.2, 0.5, 0.8
  EXPECT_EQ(factory.fontsMade, 13);  // 0.1, 0.3, 0.4, 0.6, 0.7, 0.9 to 0.16
  EXPECT_TRUE(ControlEmpty(ui.logon.window));
  EXPECT_TRUE(ControlEmpty(ui.logon.help));
  EXPECT_EQ(ui.logon.domain.items.capacity(), 0u);
}

TEST_F(LoaderTest, LogonReadsInTableOrder) {
  key.SetNumber("0.4#20", 2);
  ASSERT_TRUE(DoLoad(kLoadLogon));
  std::vector<std::string> expected = {"0#0",     "0#3",    "0.0#0",  "0.0#8",  "0.1#3",  "0.1#7",  "0.1#8",  "0.1#9",
                                       "0.2#0",   "0.2#8",  "0.3#3",  "0.3#7",  "0.3#8",  "0.4#20", "0.4#21", "0.4.0#3",
                                       "0.4.1#3", "0.4#7",  "0.4#8",  "0.4#9",  "0.5#0",  "0.5#8",  "0.6#3",  "0.6#7",
                                       "0.6#8",   "0.7#20", "0.7#21", "0.7#7",  "0.7#8",  "0.7#9",  "0.8#0",  "0.8#8",
                                       "0.9#3",   "0.9#7",  "0.9#8",  "0.10#3", "0.10#7", "0.10#8", "0.10#9"};
  for (int n = 11; n <= 13; ++n) {
    std::string e = "0." + std::to_string(n);
    for (const char* a : {"#22", "#3", "#7", "#8", "#9"}) expected.push_back(e + a);
  }
  for (int n = 14; n <= 16; ++n) {
    std::string e = "0." + std::to_string(n);
    for (const char* a : {"#3", "#7", "#8", "#9"}) expected.push_back(e + a);
  }
  EXPECT_EQ(key.queries, expected);
  Release(ui, kLoadLogon, factory);
  ExpectAllFreed(factory);
}

TEST_F(LoaderTest, DefaultCommandSection) {
  ASSERT_NO_FATAL_FAILURE(WriteDump(kCommandDump));
  ASSERT_TRUE(DoLoad(kLoadCommand));
  const CommandDescription& d = ui.command;
  EXPECT_EQ(T(d.window.text), "TVN3: Команды");
  ASSERT_EQ(d.list.count, 16u);
  ASSERT_EQ(d.list.rows.size(), 16u);
  ASSERT_EQ(d.menus.count, 8u);
  ASSERT_EQ(d.menus.menus.size(), 8u);

  const CommandEntry& first = d.list.rows[0];
  EXPECT_EQ(T(first.text), "Установка и удаление программ");
  EXPECT_EQ(T(first.command), "rundll32.exe shell32.dll,Control_RunDLL appwiz.cpl");
  EXPECT_EQ(first.command.capacity(), kCommandUnits);
  EXPECT_EQ(factory.IconOf(first.icon), "appwiz.cpl#0");
  EXPECT_EQ(first.colour, 32768u);
  EXPECT_EQ(first.menuType, 1);
  EXPECT_EQ(first.menuNumber, 1);
  EXPECT_EQ(T(d.list.rows[4].command), "regedit.exe");
  EXPECT_EQ(d.list.rows[4].colour, 0u);
  EXPECT_EQ(d.list.rows[4].menuType, 0);
  EXPECT_EQ(factory.IconOf(d.list.rows[7].icon), "shell32.dll#111");
  EXPECT_EQ(d.list.rows[15].colour, 16711680u);
  EXPECT_EQ(T(d.list.rows[15].command), "");

  // Row/menu pairing: every row with a menu opens the menu added after it.
  struct Pair {
    int row, type, menu;
    std::size_t entries;
    const char* firstTitle;
  } pairs[] = {{0, 1, 1, 1, "Компоненты Windows"},
               {1, 1, 2, 1, "Настройки электропитания"},
               {8, 1, 3, 3, "Настройки джойстика"},
               {10, 1, 4, 7, "Просмотр событий"},
               {13, 2, 5, 1, "control panel"},
               {14, 2, 6, 1, "printers"},
               {15, 2, 7, 1, "network"}};
  for (const Pair& p : pairs) {
    const CommandEntry& row = d.list.rows[p.row];
    EXPECT_EQ(row.menuType, p.type) << p.row;
    ASSERT_EQ(row.menuNumber, p.menu) << p.row;
    const MenuDescription& menu = d.menus.menus[p.menu];
    EXPECT_EQ(menu.count, p.entries) << p.row;
    ASSERT_EQ(menu.entries.size(), p.entries);
    EXPECT_EQ(T(menu.entries[0].text), p.firstTitle);
    EXPECT_TRUE(menu.enabled);
    EXPECT_EQ(FontOf(menu.font).height, 0);  // "1.3.m#7" is not written: default font
  }
  EXPECT_EQ(T(d.menus.menus[7].entries[0].command), "49");
  EXPECT_EQ(d.menus.menus[7].entries[0].icon, 0u);
  const MenuEntry& keyboard = d.menus.menus[3].entries[2];
  EXPECT_EQ(T(keyboard.command), "rundll32.exe shell32.dll,Control_RunDLL main.cpl @1");
  EXPECT_EQ(factory.IconOf(keyboard.icon), "main.cpl#7");
  // Menu 0: one empty entry, a separator no row opens.
  ASSERT_EQ(d.menus.menus[0].entries.size(), 1u);
  EXPECT_TRUE(d.menus.menus[0].entries[0].text.empty());

  EXPECT_TRUE(d.commandLine.focus);
  EXPECT_EQ(T(d.commandLine.text), "");
  EXPECT_FALSE(d.filterSupport.enabled);
  EXPECT_FALSE(d.filterSupport.checked);
  EXPECT_EQ(T(d.startHidden.text), "Запустить процесс \"скрытым\"");
  EXPECT_EQ(T(d.help.text), "?");

  Release(ui, kLoadCommand, factory);
  ExpectAllFreed(factory);
  EXPECT_EQ(factory.iconsMade, 30);  // window, 1.0, 16 rows, 12 menu entries with an icon
  EXPECT_EQ(factory.fontsMade, 19);  // 1.1, the list, 8 menus, 1.4 to 1.12
  EXPECT_TRUE(ui.command.list.rows.empty());
  EXPECT_EQ(ui.command.list.rows.capacity(), 0u);
  EXPECT_EQ(ui.command.menus.menus.capacity(), 0u);
  EXPECT_EQ(ui.command.menus.count, 0u);
  EXPECT_TRUE(ControlEmpty(ui.command.help));
}

TEST_F(LoaderTest, DefaultHelpSection) {
  ASSERT_NO_FATAL_FAILURE(WriteDump(kLogonDump));
  ASSERT_TRUE(DoLoad(kLoadHelp));
  const HelpDescription& d = ui.help;
  EXPECT_EQ(T(d.window.text), "TVN3: Помощь");
  EXPECT_EQ(factory.IconOf(d.icon.icon), "shell32.dll#111");
  std::string about = T(d.about.text);
  EXPECT_EQ(about.rfind("Tolvane 3.1 (build 15)\r\nCopyright (C) Tolvane developers\r\n", 0), 0u) << about;
  EXPECT_EQ(std::count(about.begin(), about.end(), '\n'), 3);
  EXPECT_EQ(FontOf(d.about.font).height, 15);
  EXPECT_EQ(FontOf(d.about.font).weight, 400);
  EXPECT_EQ(d.disclaimer.text.capacity(), kPathUnits);
  EXPECT_EQ(T(d.disclaimer.text).rfind("Авторы снимают", 0), 0u);
  EXPECT_TRUE(d.close.focus);
  EXPECT_FALSE(d.diagnostics.focus);
  EXPECT_EQ(T(d.diagnostics.text), "Диагностика");
  Release(ui, kLoadHelp, factory);
  ExpectAllFreed(factory);
  // Opening the help twice: loaded and released twice, each time from the key.
  ASSERT_TRUE(DoLoad(kLoadHelp));
  Release(ui, kLoadHelp, factory);
  ExpectAllFreed(factory);
  EXPECT_EQ(key.opens, 2);
  EXPECT_TRUE(ControlEmpty(ui.help.about));
}

TEST_F(LoaderTest, SplashSectionIsFixed) {
  key.openStatus = kStatusFileNotFound;  // the splash never touches the key
  ASSERT_TRUE(Load(ui, kLoadSplash, TextView(), key, factory, lastError));
  EXPECT_EQ(lastError, 0u);
  EXPECT_EQ(key.opens, 0);
  EXPECT_EQ(factory.IconOf(ui.splash.window.icon), "shell32.dll#104");
  EXPECT_EQ(T(ui.splash.window.text), "Tolvane 3.1");
  EXPECT_EQ(factory.IconOf(ui.splash.picture.icon), "shell32.dll#55");
  EXPECT_TRUE(ui.splash.picture.enabled);
  EXPECT_EQ(T(ui.splash.text.text), "Please wait. Loading...");
  const FontSpec& font = FontOf(ui.splash.text.font);
  EXPECT_EQ(font.face, u"arial");
  EXPECT_EQ(font.height, 14);
  EXPECT_EQ(font.weight, 700);
  EXPECT_FALSE(font.italic || font.underline || font.strikeOut);
  EXPECT_FALSE(ui.splash.window.focus || ui.splash.picture.focus || ui.splash.text.focus);
  Release(ui, kLoadSplash, factory);
  ExpectAllFreed(factory);
  EXPECT_EQ(factory.iconsMade, 2);
  EXPECT_EQ(factory.fontsMade, 1);
  EXPECT_FALSE(ui.splash.text.text.allocated());
}

TEST_F(LoaderTest, EmptyKeyGivesMissingValueResults) {
  ASSERT_TRUE(DoLoad(kLoadLogon));
  const LogonDescription& d = ui.logon;
  EXPECT_EQ(T(d.window.text), "");
  EXPECT_EQ(d.window.icon, 0u);
  for (const ControlDescription* c : {&d.systemIcon, &d.domainLabel, &d.password, &d.ignoreUac, &d.logOn}) {
    EXPECT_TRUE(c->enabled);
    EXPECT_FALSE(c->focus);
    EXPECT_FALSE(c->checked);
    EXPECT_EQ(c->icon, 0u);
  }
  EXPECT_NE(d.systemText.font, 0u);  // a default font is made all the same
  EXPECT_EQ(FontOf(d.systemText.font).face, u"");
  EXPECT_EQ(FontOf(d.systemText.font).weight, 400);
  EXPECT_EQ(d.domain.count, 0u);
  EXPECT_EQ(d.user.selected, 0);
  EXPECT_EQ(factory.iconsMade, 0);
  Release(ui, kLoadLogon, factory);
  ExpectAllFreed(factory);

  ASSERT_TRUE(DoLoad(kLoadCommand));
  EXPECT_EQ(ui.command.list.count, 0u);
  EXPECT_EQ(ui.command.menus.count, 0u);
  Release(ui, kLoadCommand, factory);
  ExpectAllFreed(factory);
}

TEST_F(LoaderTest, FailedOpenLeavesNothing) {
  key.openStatus = kStatusFileNotFound;
  for (LoadMode mode : {kLoadLogon, kLoadCommand, kLoadHelp}) {
    lastError = 0;
    EXPECT_FALSE(DoLoad(mode));
    EXPECT_EQ(lastError, kStatusFileNotFound);
  }
  EXPECT_TRUE(key.queries.empty());
  EXPECT_EQ(factory.iconsMade + factory.fontsMade, 0);
  EXPECT_TRUE(ControlEmpty(ui.logon.window));
  EXPECT_FALSE(ui.help.about.text.allocated());

  // The context section is built elsewhere.
  EXPECT_FALSE(DoLoad(kLoadContext));
  EXPECT_EQ(lastError, kStatusInvalidParameter);
}

TEST_F(LoaderTest, FailedCloseDoesNotFailTheLoad) {
  key.closeStatus = kStatusInvalidHandle;
  EXPECT_TRUE(DoLoad(kLoadHelp));
  EXPECT_EQ(lastError, 0u);
  Release(ui, kLoadHelp, factory);
  ExpectAllFreed(factory);
}

TEST_F(LoaderTest, CountsBeyondTheValuesPresent) {
  key.SetNumber("0.4#20", 2);
  key.SetUtf8("0.4.0#3", "CORP");
  key.SetUtf8("0.4#21", "1");
  key.SetUtf8("1.2#20", "3 rows");
  key.SetUtf8("1.2.0#3", "only row");
  key.SetUtf8("1.3#20", "2");
  key.SetNumber("1.3.1#20", 2);
  key.SetUtf8("1.3.1.0#3", "entry");
  ASSERT_TRUE(DoLoad(kLoadLogon));
  ASSERT_EQ(ui.logon.domain.items.size(), 2u);
  EXPECT_EQ(T(ui.logon.domain.items[0].text), "CORP");
  EXPECT_TRUE(ui.logon.domain.items[1].text.allocated());
  EXPECT_EQ(T(ui.logon.domain.items[1].text), "");
  EXPECT_EQ(ui.logon.domain.selected, 1);
  Release(ui, kLoadLogon, factory);

  ASSERT_TRUE(DoLoad(kLoadCommand));
  ASSERT_EQ(ui.command.list.rows.size(), 3u);
  for (const CommandEntry& row : ui.command.list.rows) {
    EXPECT_EQ(row.icon, 0u);
    EXPECT_EQ(row.colour, 0u);
    EXPECT_EQ(row.menuType, 0);
  }
  EXPECT_EQ(T(ui.command.list.rows[2].text), "");
  ASSERT_EQ(ui.command.menus.menus.size(), 2u);
  EXPECT_TRUE(ui.command.menus.menus[0].entries.empty());
  ASSERT_EQ(ui.command.menus.menus[1].entries.size(), 2u);
  EXPECT_EQ(T(ui.command.menus.menus[1].entries[0].text), "entry");
  Release(ui, kLoadCommand, factory);
  ExpectAllFreed(factory);
}

TEST_F(LoaderTest, HugeAndNegativeCountsAreBounded) {
  EXPECT_EQ(ClampCount(-1, 10), 0u);
  EXPECT_EQ(ClampCount(11, 10), 10u);
  EXPECT_EQ(ClampCount(10, 10), 10u);

  key.SetUtf8("0.4#20", "-1");
  key.SetUtf8("0.7#20", "4000000000");  // negative as a 32-bit number
  key.SetUtf8("1.2#20", "2147483647");
  key.SetUtf8("1.3#20", "99999");
  key.SetUtf8("1.3.0#20", "1000000");
  key.SetUtf8("1.3.1#20", "-5");
  ASSERT_TRUE(DoLoad(kLoadLogon));
  EXPECT_EQ(ui.logon.domain.count, 0u);
  EXPECT_TRUE(ui.logon.domain.items.empty());
  EXPECT_EQ(ui.logon.user.count, 0u);
  Release(ui, kLoadLogon, factory);
  ASSERT_TRUE(DoLoad(kLoadCommand));
  EXPECT_EQ(ui.command.list.count, kMaxCommandRows);
  EXPECT_EQ(ui.command.list.rows.size(), kMaxCommandRows);
  EXPECT_EQ(ui.command.menus.count, kMaxMenus);
  EXPECT_EQ(ui.command.menus.menus[0].count, kMaxMenuEntries);
  EXPECT_EQ(ui.command.menus.menus[0].entries.size(), kMaxMenuEntries);
  EXPECT_EQ(ui.command.menus.menus[1].count, 0u);
  Release(ui, kLoadCommand, factory);
  ExpectAllFreed(factory);
  EXPECT_EQ(factory.fontsMade, 13 + 1 + 1 + kMaxMenus + 9);

  key.SetNumber("0.4#20", kMaxComboItems + 1);  // each list has a limit of its own
  ASSERT_TRUE(DoLoad(kLoadLogon));
  EXPECT_EQ(ui.logon.domain.items.size(), kMaxComboItems);
  Release(ui, kLoadLogon, factory);
}

TEST_F(LoaderTest, RowNumbersKeepTheirLow16Bits) {
  key.SetNumber("1.2#20", 1);
  key.SetNumber("1.2.0#5", 65537);  // 0x10001 -> 1
  key.SetNumber("1.2.0#6", 40000);  // 0x9C40 -> -25536
  key.SetNumber("1.2.0#2", 16711680);
  ASSERT_TRUE(DoLoad(kLoadCommand));
  EXPECT_EQ(ui.command.list.rows[0].menuType, 1);
  EXPECT_EQ(ui.command.list.rows[0].menuNumber, -25536);
  EXPECT_EQ(ui.command.list.rows[0].colour, 16711680u);
  Release(ui, kLoadCommand, factory);
  ExpectAllFreed(factory);
}

TEST_F(LoaderTest, LongTextsAreCut) {
  key.SetText("0#3", Text(900, u'c'));
  key.SetText("2.2#3", Text(1023, u'd'));
  key.SetText("2.3#3", Text(600, u'e'));
  ASSERT_TRUE(DoLoad(kLoadLogon));
  EXPECT_EQ(ui.logon.window.text.text().size(), 511u);
  ASSERT_TRUE(DoLoad(kLoadHelp));
  EXPECT_EQ(ui.help.disclaimer.text.text().size(), 1023u);
  EXPECT_EQ(ui.help.close.text.text().size(), 511u);
  Release(ui, kLoadLogon, factory);
  Release(ui, kLoadHelp, factory);
  ExpectAllFreed(factory);
}

TEST_F(LoaderTest, AttributeEightAndNine) {
  struct Case {
    const char* value;
    bool disabled;
  } cases[] = {{"1", true}, {"1x", true}, {"10", true}, {"0", false}, {"", false}, {"true", false}};
  for (const Case& c : cases) {
    key.SetUtf8("1.8#8", c.value);
    key.SetUtf8("1.8#9", c.value);
    ASSERT_TRUE(DoLoad(kLoadCommand));
    EXPECT_EQ(ui.command.execute.enabled, !c.disabled) << c.value;
    EXPECT_EQ(ui.command.execute.focus, c.disabled) << c.value;
    Release(ui, kLoadCommand, factory);
  }
  ExpectAllFreed(factory);
}

TEST_F(LoaderTest, ReleaseOfEveryModeAfterLoadOfEveryMode) {
  ASSERT_NO_FATAL_FAILURE(WriteDump(kLogonDump));
  ASSERT_NO_FATAL_FAILURE(WriteDump(kCommandDump));
  for (LoadMode mode : {kLoadLogon, kLoadCommand, kLoadSplash, kLoadHelp}) {
    ASSERT_TRUE(DoLoad(mode));
  }
  EXPECT_EQ(factory.liveIcons.size(), 5u + 30u + 2u + 2u);
  for (LoadMode mode : {kLoadLogon, kLoadCommand, kLoadSplash, kLoadHelp}) {
    Release(ui, mode, factory);
  }
  ExpectAllFreed(factory);
  // A second release frees nothing more.
  for (LoadMode mode : {kLoadLogon, kLoadCommand, kLoadSplash, kLoadHelp, kLoadContext}) {
    Release(ui, mode, factory);
  }
  EXPECT_EQ(factory.misuse, 0);
}

TEST_F(LoaderTest, ContextReferenceSurvivesLoadAndRelease) {
  AppContext context;
  ui.command.context = &context;
  ASSERT_TRUE(DoLoad(kLoadCommand));
  EXPECT_EQ(ui.command.context, &context);
  Release(ui, kLoadCommand, factory);
  EXPECT_EQ(ui.command.context, &context);
}

// A description in which every value differs from the others, so that a value
// read into the wrong field, from the wrong element or not at all shows: the
// text of element P is "P:3", its icon "P.ico#<N>#-1", its font
// "face P#<N>#1#1#0#1" (bold, italic, not underlined, struck out), where N is
// P's digits read as a number; an element with N % 4 >= 2 is disabled and
// unfocused, every other one enabled and focused.
class DistinctLoaderTest : public LoaderTest {
 protected:
  enum Kind { kWindow, kIcon, kLabel, kControl, kCheckBox, kState };

  static int Number(const std::string& path) {
    std::string digits;
    for (char c : path) {
      if (c != '.') digits += c;
    }
    return std::stoi(digits);
  }
  // Disabled and unfocused: chosen so that neighbours such as 1.2 and 1.4 differ.
  static bool Off(const std::string& path) { return Number(path) % 4 >= 2; }

  void SetUp() override {
    for (const char* count : {"0.4#20", "0.7#20", "1.2#20", "1.3#20", "1.3.0#20", "1.3.1#20"}) key.SetNumber(count, 2);
    for (LoadMode mode : {kLoadLogon, kLoadCommand, kLoadHelp}) {  // learn every name that is read
      ASSERT_TRUE(DoLoad(mode));
      Release(ui, mode, factory);
    }
    for (const std::string& name : key.queries) {
      const std::string path = name.substr(0, name.find('#'));
      const std::string attribute = name.substr(name.find('#') + 1);
      const std::string n = std::to_string(Number(path));
      if (attribute == "3" || attribute == "4") key.SetUtf8(name, path + ":" + attribute);
      if (attribute == "0") key.SetUtf8(name, path + ".ico#" + n + "#-1");
      if (attribute == "7") key.SetUtf8(name, "face " + path + "#" + n + "#1#1#0#1");
      if (attribute == "8") key.SetUtf8(name, Off(path) ? "1" : "0");
      if (attribute == "9") key.SetUtf8(name, Off(path) ? "0" : "1");
      if (attribute == "2" || attribute == "6") key.SetNumber(name, Number(path));
      if (attribute == "5") key.SetNumber(name, 1);
      if (attribute == "21") key.SetNumber(name, 3);
      if (attribute == "22") key.SetNumber(name, 1);
    }
    key.queries.clear();
  }

  void ExpectIcon(IconHandle icon, const std::string& path) {
    EXPECT_EQ(factory.IconOf(icon), path + ".ico#" + std::to_string(Number(path))) << path;
  }
  void ExpectFont(FontHandle font, const std::string& path) {
    const FontSpec& spec = FontOf(font);
    EXPECT_EQ(spec.face, FromUtf8("face " + path));
    EXPECT_EQ(spec.height, Number(path)) << path;
    EXPECT_EQ(spec.weight, kFontWeightBold) << path;
    EXPECT_TRUE(spec.italic && !spec.underline && spec.strikeOut) << path;
  }
  void ExpectElement(const ControlDescription& c, const std::string& path, Kind kind,
                     std::size_t units = kCaptionUnits) {
    SCOPED_TRACE(path);
    if (kind == kWindow || kind == kIcon) {
      ExpectIcon(c.icon, path);
      EXPECT_EQ(c.font, 0u);
    } else {
      EXPECT_EQ(c.icon, 0u);
      ExpectFont(c.font, path);
    }
    if (kind != kIcon && kind != kState) {
      EXPECT_EQ(T(c.text), path + ":3");
      EXPECT_EQ(c.text.capacity(), units);
    }
    EXPECT_EQ(c.enabled, kind != kWindow && !Off(path));
    EXPECT_EQ(c.focus, (kind == kControl || kind == kCheckBox || kind == kState) && !Off(path));
    EXPECT_EQ(c.checked, kind == kCheckBox);
  }
  void ExpectCombo(const ComboDescription& c, const std::string& path) {
    SCOPED_TRACE(path);
    EXPECT_EQ(c.selected, 3);
    ASSERT_EQ(c.items.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) EXPECT_EQ(T(c.items[i].text), path + "." + std::to_string(i) + ":3");
    ExpectFont(c.font, path);
    EXPECT_EQ(c.enabled, !Off(path));
    EXPECT_EQ(c.focus, !Off(path));
  }
  void ExpectItem(const ItemDescription& item, const std::string& path, std::uint32_t colour, std::int16_t type) {
    SCOPED_TRACE(path);
    EXPECT_EQ(T(item.text), path + ":3");
    EXPECT_EQ(T(item.command), path + ":4");
    EXPECT_EQ(item.command.capacity(), kCommandUnits);
    ExpectIcon(item.icon, path);
    EXPECT_EQ(item.colour, colour);
    EXPECT_EQ(item.menuType, type);
    EXPECT_EQ(item.menuNumber, Number(path));
  }

  std::vector<std::pair<const ControlDescription*, Kind>> LogonControls() {
    const LogonDescription& d = ui.logon;
    return {
        {&d.window, kWindow},        {&d.systemIcon, kIcon},  {&d.systemText, kControl}, {&d.domainIcon, kIcon},
        {&d.domainLabel, kLabel},    {&d.userIcon, kIcon},    {&d.userLabel, kLabel},    {&d.passwordIcon, kIcon},
        {&d.passwordLabel, kLabel},  {&d.password, kControl}, {&d.ignoreUac, kCheckBox}, {&d.loadProfile, kCheckBox},
        {&d.currentUser, kCheckBox}, {&d.logOn, kControl},    {&d.close, kControl},      {&d.help, kControl}};
  }
  std::vector<std::pair<const ControlDescription*, Kind>> CommandControls() {
    const CommandDescription& d = ui.command;
    return {{&d.window, kWindow},        {&d.systemIcon, kIcon},       {&d.systemText, kControl},
            {&d.commandLine, kControl},  {&d.browse, kControl},        {&d.filterSupport, kCheckBox},
            {&d.startHidden, kCheckBox}, {&d.execute, kControl},       {&d.close, kControl},
            {&d.refresh, kControl},      {&d.authorization, kControl}, {&d.help, kControl}};
  }
  std::vector<std::pair<const ControlDescription*, Kind>> HelpControls() {
    const HelpDescription& d = ui.help;
    return {{&d.window, kWindow},      {&d.icon, kIcon},     {&d.about, kState},
            {&d.disclaimer, kControl}, {&d.close, kControl}, {&d.diagnostics, kControl}};
  }
};

TEST_F(DistinctLoaderTest, EveryValueLandsInItsOwnField) {
  ASSERT_TRUE(DoLoad(kLoadLogon));
  const char* logonPaths[] = {"0",   "0.0",  "0.1",  "0.2",  "0.3",  "0.5",  "0.6",  "0.8",
                              "0.9", "0.10", "0.11", "0.12", "0.13", "0.14", "0.15", "0.16"};
  auto logon = LogonControls();
  for (std::size_t i = 0; i < logon.size(); ++i) ExpectElement(*logon[i].first, logonPaths[i], logon[i].second);
  ExpectCombo(ui.logon.domain, "0.4");
  ExpectCombo(ui.logon.user, "0.7");

  ASSERT_TRUE(DoLoad(kLoadCommand));
  const char* commandPaths[] = {"1", "1.0", "1.1", "1.4", "1.5", "1.6", "1.7", "1.8", "1.9", "1.10", "1.11", "1.12"};
  auto command = CommandControls();
  for (std::size_t i = 0; i < command.size(); ++i) ExpectElement(*command[i].first, commandPaths[i], command[i].second);
  const CommandDescription& d = ui.command;
  ASSERT_EQ(d.list.rows.size(), 2u);
  for (int n = 0; n < 2; ++n) {
    const std::string row = "1.2." + std::to_string(n);
    ExpectItem(d.list.rows[n], row, static_cast<std::uint32_t>(Number(row)), 1);
  }
  ExpectFont(d.list.font, "1.2");
  EXPECT_TRUE(d.list.enabled && d.list.focus);  // 1.2 is on, 1.3 and 1.4 are off
  ASSERT_EQ(d.menus.menus.size(), 2u);
  for (int m = 0; m < 2; ++m) {
    const std::string menu = "1.3." + std::to_string(m);
    ASSERT_EQ(d.menus.menus[m].entries.size(), 2u);
    for (int k = 0; k < 2; ++k) ExpectItem(d.menus.menus[m].entries[k], menu + "." + std::to_string(k), 0, 0);
    ExpectFont(d.menus.menus[m].font, menu);
    EXPECT_FALSE(d.menus.menus[m].enabled);  // 1.3.0 and 1.3.1 are off
  }

  ASSERT_TRUE(DoLoad(kLoadHelp));
  const char* helpPaths[] = {"2", "2.0", "2.1", "2.2", "2.3", "2.4"};
  auto help = HelpControls();
  for (std::size_t i = 0; i < help.size(); ++i) {
    ExpectElement(*help[i].first, helpPaths[i], help[i].second, i == 3 ? kPathUnits : kCaptionUnits);
  }
  EXPECT_EQ(ui.help.about.text.text(), HelpVersionText());
  EXPECT_EQ(T(ui.help.about.text).rfind("Tolvane 3.1 (build 15)\r\n", 0), 0u);
}

// Release returns every field of every record to its empty state, not only
// the handles: a record that is loaded again later must not show old values.
TEST_F(DistinctLoaderTest, ReleaseEmptiesEveryFieldAndASecondReleaseFreesNothing) {
  for (LoadMode mode : {kLoadLogon, kLoadCommand, kLoadHelp, kLoadSplash}) ASSERT_TRUE(DoLoad(mode));
  // Fields that no load of a control fills are emptied all the same.
  ui.command.execute.colour = 7;
  ui.command.execute.menuType = 2;
  ui.command.execute.menuNumber = 3;
  ui.command.execute.command.Allocate(kCommandUnits);
  for (int round = 0; round < 2; ++round) {
    for (LoadMode mode : {kLoadLogon, kLoadCommand, kLoadHelp, kLoadSplash}) Release(ui, mode, factory);
    ExpectAllFreed(factory);
    for (const auto& list : {LogonControls(), CommandControls(), HelpControls()}) {
      for (const auto& c : list) EXPECT_TRUE(ControlEmpty(*c.first));
    }
    for (const ControlDescription* c : {&ui.splash.window, &ui.splash.picture, &ui.splash.text}) {
      EXPECT_TRUE(ControlEmpty(*c));
    }
    for (const ComboDescription* c : {&ui.logon.domain, &ui.logon.user}) {
      EXPECT_TRUE(c->count == 0 && c->selected == 0 && c->items.capacity() == 0 && c->font == 0 && !c->enabled &&
                  !c->focus);
    }
    const CommandDescription& d = ui.command;
    EXPECT_TRUE(d.list.count == 0 && d.list.rows.capacity() == 0 && d.list.font == 0 && !d.list.enabled &&
                !d.list.focus);
    EXPECT_TRUE(d.menus.count == 0 && d.menus.menus.capacity() == 0);
  }
}

// A buffer allocated again (a record reused) starts empty at its new size.
TEST(TextBufferTest, AllocateStartsEmptyAndFreeForgetsEverything) {
  TextBuffer buffer;
  buffer.Allocate(4);
  buffer.Set(u"abcdef");
  EXPECT_EQ(buffer.text(), u"abc");
  buffer.Allocate(8);
  EXPECT_TRUE(buffer.allocated() && buffer.empty());
  EXPECT_EQ(buffer.capacity(), 8u);
  buffer.Set(u"abc");
  buffer.Free();
  EXPECT_TRUE(BufferEmpty(buffer));
}

// The reader of the expected dumps, which the loader tests above rely on.
TEST(ExpectedDumpTest, EscapesPlaceholdersCommentsAndOrder) {
  DumpSystem system;
  system.caption = u"Windows 10 Pro";
  system.user = u"admin";
  std::vector<DumpValue> values;
  std::string error;
  ASSERT_TRUE(ParseDump("# comment\r\n0#3=a\\r\\nb\\\\c\r\n\n0.1#3=ОС: ${CAPTION}/${USER}${USER}\n0#3=x=y\n", system,
                        values, error))
      << error;
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[0].name, u"0#3");
  EXPECT_EQ(values[0].value, u"a\r\nb\\c");
  EXPECT_EQ(values[1].value, u"ОС: Windows 10 Pro/adminadmin");
  EXPECT_EQ(values[2].name, u"0#3");  // kept in order: the later one wins in a key
  EXPECT_EQ(values[2].value, u"x=y");

  MemorySource key;
  ASSERT_TRUE(LoadDump(key, kCommandDump, error)) << error;
  std::uint8_t buffer[kValueBytes];
  std::size_t bytes = 0;
  ASSERT_EQ(key.OpenKey(u"k"), 0u);
  ASSERT_EQ(key.QueryValue(u"1.2#20", buffer, sizeof buffer, bytes), 0u);
  EXPECT_EQ(bytes, 6u);  // "16" and its terminator: the last of the sixteen writes
}

TEST(ExpectedDumpTest, RefusesWhatItCannotReadExactly) {
  const char* const bad[] = {
      "0#3\n",              // no '='
      "=value\n",           // no name
      "0#3=tab\\t\n",       // an escape the dumps do not use
      "0#3=end\\\n",        // a lone backslash at the end
      "0#3=${HOST}\n",      // an unknown placeholder
      "# comments only\n",  // no values
      "",
  };
  for (const char* content : bad) {
    std::vector<DumpValue> values;
    std::string error;
    EXPECT_FALSE(ParseDump(content, DumpSystem(), values, error)) << content;
    EXPECT_FALSE(error.empty()) << content;
  }
  std::vector<DumpValue> values;
  std::string error;
  EXPECT_FALSE(ReadDump("no_such_dump.txt", DumpSystem(), values, error));
  EXPECT_NE(error.find("no_such_dump.txt"), std::string::npos) << error;
}

// d1 and d2 both write the help dialog's values, and the same ones.
TEST(ExpectedDumpTest, BothDumpsCarryTheSameHelpValues) {
  std::map<Text, Text> help[2];
  const char* const files[] = {kLogonDump, kCommandDump};
  for (int i = 0; i < 2; ++i) {
    std::vector<DumpValue> values;
    std::string error;
    ASSERT_TRUE(ReadDump(files[i], DumpSystem(), values, error)) << error;
    for (const DumpValue& value : values) {
      if (value.name.rfind(u"2#", 0) == 0 || value.name.rfind(u"2.", 0) == 0) help[i][value.name] = value.value;
    }
  }
  EXPECT_EQ(help[0].size(), 11u);
  EXPECT_EQ(help[0], help[1]);
}

}  // namespace
}  // namespace tvn
