// Runs the packed description script (RCDATA 750 of this executable) with the
// real script host and checks what it writes under HKCU\Software\TVN\<id>,
// what it prints, and that the f run removes the key and the script file.
//
// The tool itself runs "cscript /nologo /e:javascript <file> ...". Wine's
// cscript exits at once on /e:javascript and picks the engine by extension, so
// these tests call cscript without /e: and rely on the test prefix mapping
// .script to JScript (HKCR\.script = "JSFile"); the test harness installs a
// cscript shim that drops /e: as the prefix's system cscript.exe for runs of
// TVN.exe itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/text.h"
#include "base/win/unique_handle.h"
#include "base/win/wide.h"
#include "description/win/description.h"
#include "resource.h"
#include "tests/support/description_fakes.h"
#include "tests/wine/support/files.h"
#include "tests/wine/support/processes.h"
#include "tests/wine/support/registry.h"

namespace tvn {
namespace {

using ValueMap = std::map<Text, Text>;

const wchar_t kVersionKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const char kHeader[] = "// TVN SCRIPT(compress)\r\n// BINARY VERSION >= 3.1.1.4\r\n";

using tvn_test::Exists;
using tvn_test::KeyExists;
using tvn_test::TempDir;
using tvn_test::Utf8;

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// A fresh identifier per run: no two runs of this suite share a key.
std::wstring NextId() {
  static unsigned counter = 0;
  return std::to_wstring(GetCurrentProcessId() % 100000 * 1000 + ++counter);
}

std::wstring KeyOf(const std::wstring& id) { return L"Software\\TVN\\" + id; }

// The packed script as this executable carries it.
std::string ScriptResource() {
  HMODULE self = GetModuleHandleW(nullptr);
  HRSRC info = FindResourceW(self, MAKEINTRESOURCEW(IDR_SCRIPT), MAKEINTRESOURCEW(10));
  if (!info) return std::string();
  HGLOBAL loaded = LoadResource(self, info);
  DWORD size = SizeofResource(self, info);
  const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  return bytes ? std::string(bytes, size) : std::string();
}

// One extracted copy of the script, "%TEMP%\TVN_test_<n>.script", plus its
// key; both are removed when the test ends, whatever the script did.
class ScriptRun {
 public:
  ScriptRun() : id_(NextId()), path_(TempDir() + L"TVN_test_" + id_ + L".script") { Extract(); }
  ~ScriptRun() {
    DeleteFileW(path_.c_str());
    DeleteFileW(OutputPath().c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, KeyOf(id_).c_str());
  }
  ScriptRun(const ScriptRun&) = delete;
  ScriptRun& operator=(const ScriptRun&) = delete;

  void Extract() { tvn_test::WriteFileBytes(path_, ScriptResource()); }

  const std::wstring& id() const { return id_; }
  const std::wstring& path() const { return path_; }
  std::wstring OutputPath() const { return path_ + L".out"; }

  // Runs "cmd /c cscript //nologo <file> <arguments> > <output>" hidden and
  // waits for the interpreter's process (not for a pipe). Returns the output
  // lines; a run that cannot start or does not end fails the test.
  std::vector<std::string> Run(const std::wstring& arguments) {
    const std::wstring line =
        L"cmd /c cscript //nologo \"" + path_ + L"\" " + arguments + L" > \"" + OutputPath() + L"\"";
    tvn_test::ProgramOptions options;
    options.creationFlags = CREATE_NO_WINDOW;
    options.timeoutMs = 60000;
    const tvn_test::ProgramRun run = tvn_test::RunProgram(nullptr, line, options);
    if (!run.started) {
      ADD_FAILURE() << "cannot start " << Utf8(line) << ": error " << run.startError;
      return {};
    }
    if (!run.ended) {
      ADD_FAILURE() << "script run did not end within 60 s: " << Utf8(line);
      return {};
    }
    std::vector<std::string> lines;
    std::istringstream output(tvn_test::FileBytes(OutputPath()));
    for (std::string text; std::getline(output, text);) {
      if (!text.empty() && text.back() == '\r') text.pop_back();
      lines.push_back(text);
    }
    return lines;
  }

  // Every value of the key. Each must be REG_SZ holding exactly one
  // terminating zero (a stray NUL inside the data is a fault of the script).
  ValueMap Values() const {
    ValueMap values;
    UniqueKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, KeyOf(id_).c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return values;
    for (DWORD index = 0;; ++index) {
      wchar_t name[256];
      DWORD nameUnits = 256;
      std::vector<wchar_t> data(4096);
      DWORD dataBytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
      DWORD type = 0;
      LONG status = RegEnumValueW(key.get(), index, name, &nameUnits, nullptr, &type,
                                  reinterpret_cast<BYTE*>(data.data()), &dataBytes);
      if (status == ERROR_NO_MORE_ITEMS) break;
      if (status != ERROR_SUCCESS) {
        ADD_FAILURE() << "RegEnumValueW failed at index " << index << ": " << status;
        break;
      }
      std::wstring valueName(name, nameUnits);
      size_t units = dataBytes / sizeof(wchar_t);
      EXPECT_EQ(static_cast<DWORD>(REG_SZ), type) << Utf8(valueName);
      EXPECT_TRUE(units >= 1 && data[units - 1] == L'\0') << Utf8(valueName) << " lacks its terminator";
      std::wstring text(data.data(), units > 0 ? units - 1 : 0);
      EXPECT_EQ(std::wstring::npos, text.find(L'\0')) << Utf8(valueName) << " holds a NUL";
      values[ToText(valueName.c_str())] = ToText(text.c_str(), text.size());
    }
    return values;
  }

 private:
  std::wstring id_;
  std::wstring path_;
};

// ---- expected values -----------------------------------------------------

Text ProductName() {
  wchar_t buffer[512] = {};
  DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
  RegGetValueW(HKEY_LOCAL_MACHINE, kVersionKey, L"ProductName", RRF_RT_REG_SZ, nullptr, buffer, &bytes);
  return ToText(buffer);
}

Text UserName() {
  wchar_t buffer[256] = {};
  DWORD units = 256;
  GetUserNameW(buffer, &units);
  return ToText(buffer);
}

// The values of tests\wine\expected\<file> as the key holds them after the
// run (a later line for the same name replaces the earlier value, as the
// registry does), with this system's product name and user name in place of
// ${CAPTION} and ${USER}.
bool LoadExpected(const char* file, ValueMap& values) {
  testing_fakes::DumpSystem system;
  system.caption = ProductName();
  system.user = UserName();
  std::vector<testing_fakes::DumpValue> dump;
  std::string error;
  if (!testing_fakes::ReadDump(file, system, dump, error)) {
    ADD_FAILURE() << error;
    return false;
  }
  for (const testing_fakes::DumpValue& value : dump) values[value.name] = value.value;
  return true;
}

// Lists every difference between two value maps, one per line.
std::string Differences(const ValueMap& expected, const ValueMap& actual) {
  std::string report;
  for (const auto& item : expected) {
    auto found = actual.find(item.first);
    if (found == actual.end()) {
      report += "missing " + ToUtf8(item.first) + "\n";
    } else if (found->second != item.second) {
      report += ToUtf8(item.first) + ": expected \"" + ToUtf8(item.second) + "\", written \"" + ToUtf8(found->second) +
                "\"\n";
    }
  }
  for (const auto& item : actual) {
    if (!expected.count(item.first)) report += "unexpected " + ToUtf8(item.first) + "=" + ToUtf8(item.second) + "\n";
  }
  return report;
}

// ---- Windows version in the registry ---------------------------------------

// Sets the version values of HKLM\...\Windows NT\CurrentVersion for one test
// and puts every changed value back (or removes it again) on destruction.
class VersionOverride {
 public:
  // CurrentVersion becomes `version`; the numeric major/minor values are set
  // when `numeric` says so (as on Windows 10 and later), else removed.
  VersionOverride(const wchar_t* version, bool numeric, DWORD major, DWORD minor) {
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kVersionKey, 0, KEY_READ | KEY_WRITE, key_.put()) != ERROR_SUCCESS) {
      ADD_FAILURE() << "cannot open the version key for writing";
      return;
    }
    Save(L"CurrentVersion");
    Save(L"CurrentMajorVersionNumber");
    Save(L"CurrentMinorVersionNumber");
    RegSetValueExW(key_.get(), L"CurrentVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                   static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
    if (numeric) {
      RegSetValueExW(key_.get(), L"CurrentMajorVersionNumber", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&major),
                     sizeof(major));
      RegSetValueExW(key_.get(), L"CurrentMinorVersionNumber", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&minor),
                     sizeof(minor));
    } else {
      RegDeleteValueW(key_.get(), L"CurrentMajorVersionNumber");
      RegDeleteValueW(key_.get(), L"CurrentMinorVersionNumber");
    }
  }
  ~VersionOverride() {
    for (const Saved& saved : saved_) {
      if (saved.present) {
        RegSetValueExW(key_.get(), saved.name.c_str(), 0, saved.type, saved.data.data(),
                       static_cast<DWORD>(saved.data.size()));
      } else {
        RegDeleteValueW(key_.get(), saved.name.c_str());
      }
    }
  }
  VersionOverride(const VersionOverride&) = delete;
  VersionOverride& operator=(const VersionOverride&) = delete;

 private:
  struct Saved {
    std::wstring name;
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> data;
  };
  void Save(const wchar_t* name) {
    Saved saved;
    saved.name = name;
    saved.data.resize(1024);
    DWORD bytes = static_cast<DWORD>(saved.data.size());
    saved.present =
        RegQueryValueExW(key_.get(), name, nullptr, &saved.type, saved.data.data(), &bytes) == ERROR_SUCCESS;
    saved.data.resize(saved.present ? bytes : 0);
    saved_.push_back(saved);
  }
  UniqueKey key_;
  std::vector<Saved> saved_;
};

// ---- tests -----------------------------------------------------------------

// The script host reads the script in the ANSI code page; its Russian texts
// come out right only where that is 1251.
const char kCodePageHint[] =
    "the ANSI code page must be 1251: run Wine with LC_ALL=ru_RU.UTF-8 (and LOCPATH naming a folder holding "
    "that locale)";

TEST(DescriptionScriptTest, StoredFormIsTwoHeaderLinesAndOneProgramLine) {
  std::string bytes = ScriptResource();
  ASSERT_GT(bytes.size(), sizeof(kHeader)) << "resource RCDATA 750 missing or empty";
  ASSERT_EQ(std::string(kHeader), bytes.substr(0, sizeof(kHeader) - 1));
  std::string program = bytes.substr(sizeof(kHeader) - 1);
  EXPECT_EQ(std::string::npos, program.find('\n')) << "line break after the header";
  EXPECT_EQ(std::string::npos, program.find('\r'));
  EXPECT_EQ(std::string::npos, bytes.find('\0')) << "NUL in the stored script";
  // Every text stands in the first statement, the table of texts, so that an
  // extracted script shows them together. Cyrillic text is stored in code
  // page 1251: "Войти" is C2 EE E9 F2 E8.
  const std::string table = program.substr(0, program.find(" }; "));
  EXPECT_EQ(0u, table.find("var vText = { ")) << program.substr(0, 80);
  EXPECT_NE(std::string::npos, table.find("logOn: \"\xC2\xEE\xE9\xF2\xE8\""));
  EXPECT_EQ(std::string::npos, program.find("\xC2\xEE\xE9\xF2\xE8", table.size())) << "a text outside the table";
}

// Values that depend on the system version, applied to the 6.1 lists.
struct VersionCase {
  const wchar_t* version;  // CurrentVersion text, nullptr: leave the system's own (Wine 10: Windows 10, 10.0)
  bool numeric;            // also CurrentMajor/MinorVersionNumber, which take precedence
  DWORD major, minor;
  const char16_t* systemIcon;  // "0.0#0" and "1.0#0"
  const char16_t* userIcon;    // "0.5#0"
  const char16_t* panelIcon;   // icon of the control panel row
  bool accountsRow;            // row 7 "Учетные записи пользователей" present
};

const VersionCase kVersions[] = {
    {nullptr, false, 0, 0, u"shell32.dll#221", u"shell32.dll#160", u"shell32.dll#57", true},
    {L"5.0", false, 0, 0, u"shell32.dll#23", u"shell32.dll#15", u"shell32.dll#57", false},
    {L"6.1", false, 0, 0, u"shell32.dll#221", u"shell32.dll#160", u"control.exe#0", true},
    {L"5.1", false, 0, 0, u"shell32.dll#221", u"shell32.dll#160", u"shell32.dll#57", true},
    {L"5.2", false, 0, 0, u"shell32.dll#222", u"shell32.dll#160", u"shell32.dll#57", true},
    {L"6.3", false, 0, 0, u"shell32.dll#221", u"shell32.dll#160", u"control.exe#0", true},
    {L"6.3", true, 5, 2, u"shell32.dll#222", u"shell32.dll#160", u"shell32.dll#57", true},
    {L"6.3", true, 10, 0, u"shell32.dll#221", u"shell32.dll#160", u"shell32.dll#57", true},
};

// The 6.1 list turned into the one for `version`: icons replaced and, without
// the user-accounts row, rows 8 to 15 moved down by one and 15 rows in all.
ValueMap ForVersion(const ValueMap& base, const VersionCase& version) {
  ValueMap out;
  for (const auto& item : base) {
    Text name = item.first;
    const Text rowPrefix = u"1.2.";
    if (!version.accountsRow && name.compare(0, rowPrefix.size(), rowPrefix) == 0) {
      size_t hash = name.find(u'#');
      int row = static_cast<int>(ParseDecimal(name.substr(rowPrefix.size(), hash - rowPrefix.size())));
      if (row == 7) continue;
      if (row > 7) name = rowPrefix + FormatNumber(row - 1) + name.substr(hash);
    }
    out[name] = item.second;
  }
  if (out.count(u"0.0#0")) out[u"0.0#0"] = version.systemIcon;
  if (out.count(u"0.5#0")) out[u"0.5#0"] = version.userIcon;
  if (out.count(u"1.0#0")) {
    out[u"1.0#0"] = version.systemIcon;
    int panelRow = version.accountsRow ? 13 : 12;
    out[u"1.2." + FormatNumber(panelRow) + u"#0"] = version.panelIcon;
    if (!version.accountsRow) out[u"1.2#20"] = u"15";
  }
  return out;
}

TEST(DescriptionScriptTest, WritesTheDescriptionForEachVersion) {
  ASSERT_EQ(1251u, GetACP()) << kCodePageHint;
  ValueMap baseD1, baseD2;
  ASSERT_TRUE(LoadExpected(testing_fakes::kLogonDump, baseD1));
  ASSERT_TRUE(LoadExpected(testing_fakes::kCommandDump, baseD2));
  // Spot checks of the lists themselves, in UTF-16.
  ASSERT_EQ(u"TVN3: Авторизация", baseD1[u"0#3"]);
  ASSERT_EQ(u"16", baseD2[u"1.2#20"]);
  ASSERT_EQ(u"8", baseD2[u"1.3#20"]);

  for (const VersionCase& version : kVersions) {
    std::string label = version.version ? Utf8(version.version) : std::string("system default");
    if (version.numeric) label += " numbers " + std::to_string(version.major) + "." + std::to_string(version.minor);
    SCOPED_TRACE("version " + label);
    std::unique_ptr<VersionOverride> override;
    if (version.version) {
      override.reset(new VersionOverride(version.version, version.numeric, version.major, version.minor));
    }

    const std::pair<const char*, const ValueMap*> modes[] = {{"d1", &baseD1}, {"d2", &baseD2}};
    for (const auto& mode : modes) {
      SCOPED_TRACE(mode.first);
      ScriptRun run;
      std::vector<std::string> output = run.Run(Wide(std::string(mode.first)) + L" " + run.id());
      std::vector<std::string> expectedOutput = {mode.first[1] == '1' ? "AuthDlg..." : "CmdDlg...", " DONE"};
      EXPECT_EQ(expectedOutput, output);
      ValueMap written = run.Values();
      EXPECT_EQ("", Differences(ForVersion(*mode.second, version), written));
    }
  }
}

TEST(DescriptionScriptTest, RussianTextsArriveAsUtf16) {
  ASSERT_EQ(1251u, GetACP()) << kCodePageHint;
  ScriptRun run;
  run.Run(L"d2 " + run.id());
  ValueMap values = run.Values();
  EXPECT_EQ(u"TVN3: Команды", values[u"1#3"]);
  EXPECT_EQ(u"Запустить процесс \"скрытым\"", values[u"1.7#3"]);
  EXPECT_EQ(u"ОС: " + ProductName() + u"\r\nПользователь: " + UserName(), values[u"1.1#3"]);
  EXPECT_EQ(u"Коммандная строка", values[u"1.2.12#3"]);
}

TEST(DescriptionScriptTest, CleanUpDeletesOnlyItsKeyAndTheScriptFile) {
  ScriptRun run;
  ScriptRun other;
  run.Run(L"d1 " + run.id());
  other.Run(L"d1 " + other.id());
  ASSERT_TRUE(KeyExists(HKEY_CURRENT_USER, KeyOf(run.id())));

  std::vector<std::string> output = run.Run(L"f " + run.id());
  EXPECT_EQ((std::vector<std::string>{"Clear...", " DONE"}), output);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, KeyOf(run.id())));
  EXPECT_FALSE(Exists(run.path())) << "script file left behind";
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\TVN"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, KeyOf(other.id()))) << "another process's key was deleted";
  EXPECT_TRUE(Exists(other.path()));

  // With no key to delete (the d run never happened) the file still goes.
  ScriptRun lone;
  EXPECT_EQ((std::vector<std::string>{"Clear...", " DONE"}), lone.Run(L"f " + lone.id()));
  EXPECT_FALSE(Exists(lone.path()));
}

// Arguments that must not write or delete anything.
TEST(DescriptionScriptTest, BadArgumentsWriteNothing) {
  struct Case {
    const wchar_t* arguments;  // "<id>" stands for the run's identifier
    const char* outputStart;   // nullptr: no output at all
  };
  const Case cases[] = {
      {L"x <id>", nullptr},
      {L"D1 <id>", nullptr},
      {L"", "ERROR ("},
      {L"d1", "ERROR ("},
      {L"d1 ..\\<id>", "ERROR (87): "},
      {L"f 12ab", "ERROR (87): "},
  };
  ScriptRun witness;
  witness.Run(L"d1 " + witness.id());
  for (const Case& c : cases) {
    ScriptRun run;
    std::wstring arguments = c.arguments;
    size_t at = arguments.find(L"<id>");
    if (at != std::wstring::npos) arguments.replace(at, 4, run.id());
    SCOPED_TRACE("arguments: " + Utf8(arguments));
    std::vector<std::string> output = run.Run(arguments);
    if (c.outputStart) {
      ASSERT_EQ(1u, output.size());
      EXPECT_EQ(0u, output[0].find(c.outputStart)) << output[0];
    } else {
      EXPECT_TRUE(output.empty());
    }
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, KeyOf(run.id())));
    EXPECT_TRUE(Exists(run.path()));
  }
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, KeyOf(witness.id())));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software\\TVN"));
}

// What the script writes is what the loader reads: the sections load with
// every row and menu, on the system's own version and on 5.0.
TEST(DescriptionScriptTest, WrittenDescriptionLoadsIntoTheSections) {
  ASSERT_EQ(1251u, GetACP()) << kCodePageHint;
  for (const VersionCase& version : {kVersions[0], kVersions[1]}) {
    SCOPED_TRACE(version.version ? Utf8(version.version) : std::string("system default"));
    std::unique_ptr<VersionOverride> override;
    if (version.version) override.reset(new VersionOverride(version.version, false, 0, 0));
    const std::uint32_t rows = version.accountsRow ? 16 : 15;

    ScriptRun logonRun;
    logonRun.Run(L"d1 " + logonRun.id());
    static UiDescription ui;
    ASSERT_TRUE(LoadDescription(ui, kLoadLogon, ToText(KeyOf(logonRun.id()).c_str())));
    EXPECT_EQ(u"TVN3: Авторизация", ui.logon.window.text.text());
    EXPECT_NE(0u, ui.logon.window.icon);
    EXPECT_TRUE(ui.logon.domain.focus);
    EXPECT_FALSE(ui.logon.loadProfile.enabled);
    EXPECT_FALSE(ui.logon.ignoreUac.enabled);
    EXPECT_EQ(0u, ui.logon.domain.count);
    ReleaseDescription(ui, kLoadLogon);

    ScriptRun commandRun;
    commandRun.Run(L"d2 " + commandRun.id());
    ASSERT_TRUE(LoadDescription(ui, kLoadCommand, ToText(KeyOf(commandRun.id()).c_str())));
    const CommandDescription& command = ui.command;
    ASSERT_EQ(rows, command.list.count);
    ASSERT_EQ(rows, command.list.rows.size());
    ASSERT_EQ(8u, command.menus.count);
    // Each row that opens a menu names one that holds entries; the
    // shell-folder rows name the Control Panel, Printers and Network folders.
    std::vector<Text> folders;
    for (const CommandEntry& row : command.list.rows) {
      if (row.menuType == 0) continue;
      ASSERT_LT(static_cast<std::uint32_t>(row.menuNumber), command.menus.count) << ToUtf8(row.text.text());
      const MenuDescription& menu = command.menus.menus[static_cast<std::size_t>(row.menuNumber)];
      ASSERT_GT(menu.count, 0u) << ToUtf8(row.text.text());
      if (row.menuType == 2) folders.push_back(menu.entries[0].command.text());
    }
    EXPECT_EQ((std::vector<Text>{u"3", u"4", u"49"}), folders);
    EXPECT_EQ(7u, command.menus.menus[4].count);
    EXPECT_TRUE(command.commandLine.focus);
    ReleaseDescription(ui, kLoadCommand);
  }
}

}  // namespace
}  // namespace tvn
