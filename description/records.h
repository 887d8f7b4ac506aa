// The in-memory form of the user-interface description.
//
// Plain records: a load fills them, a release frees what the load made. Icons
// and fonts are opaque platform handles made and destroyed through a
// HandleFactory (description/loader.h); 0 means "none".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/text.h"

namespace tvn {

using IconHandle = std::uintptr_t;
using FontHandle = std::uintptr_t;

// An owned, fixed-capacity text buffer, or none. Text put into it is cut to
// capacity - 1 units, as a copy into a terminated buffer of that size would be.
class TextBuffer {
 public:
  bool allocated() const { return allocated_; }
  std::size_t capacity() const { return capacity_; }
  const Text& text() const { return text_; }
  bool empty() const { return text_.empty(); }

  void Allocate(std::size_t units) {
    allocated_ = true;
    capacity_ = units;
    text_.clear();
  }
  void Set(TextView text) { text_ = Truncated(text, capacity_); }
  void Free() {
    allocated_ = false;
    capacity_ = 0;
    Text().swap(text_);
  }

 private:
  bool allocated_ = false;
  std::size_t capacity_ = 0;
  Text text_;
};

// Attribute codes of the registry description.
enum Attribute : int {
  kAttrIcon = 0,
  kAttrColour = 2,
  kAttrText = 3,
  kAttrCommand = 4,
  kAttrMenuType = 5,
  kAttrMenuNumber = 6,
  kAttrFont = 7,
  kAttrDisabled = 8,
  kAttrFocus = 9,
  kAttrCount = 20,
  kAttrSelected = 21,
  kAttrChecked = 22,
};

struct ItemDescription {
  IconHandle icon = 0;
  std::uint32_t colour = 0;
  TextBuffer text;
  TextBuffer command;
  std::int16_t menuType = 0;
  std::int16_t menuNumber = 0;
};

struct ControlDescription : ItemDescription {
  bool checked = false;  // check boxes only
  FontHandle font = 0;
  bool enabled = false;
  bool focus = false;
};

struct ComboDescription {
  std::uint32_t count = 0;
  std::int32_t selected = 0;
  std::vector<ItemDescription> items;
  FontHandle font = 0;
  bool enabled = false;
  bool focus = false;
};

struct AppContext;

struct LogonDescription {
  const AppContext* context = nullptr;
  ControlDescription window;         // "0"
  ControlDescription systemIcon;     // 0.0  -> 1200
  ControlDescription systemText;     // 0.1  -> 1201
  ControlDescription domainIcon;     // 0.2  -> 1202
  ControlDescription domainLabel;    // 0.3  -> 1203
  ComboDescription domain;           // 0.4  -> 1204
  ControlDescription userIcon;       // 0.5  -> 1205
  ControlDescription userLabel;      // 0.6  -> 1206
  ComboDescription user;             // 0.7  -> 1207
  ControlDescription passwordIcon;   // 0.8  -> 1208
  ControlDescription passwordLabel;  // 0.9  -> 1209
  ControlDescription password;       // 0.10 -> 1210
  ControlDescription ignoreUac;      // 0.11 -> 1211
  ControlDescription loadProfile;    // 0.12 -> 1212
  ControlDescription currentUser;    // 0.13 -> 1213
  ControlDescription logOn;          // 0.14 -> 1215
  ControlDescription close;          // 0.15 -> 1216
  ControlDescription help;           // 0.16 -> 1217
};

struct CommandEntry : ItemDescription {};
struct MenuEntry : ItemDescription {};

struct CommandListDescription {
  std::uint32_t count = 0;
  std::vector<CommandEntry> rows;
  FontHandle font = 0;
  bool enabled = false;
  bool focus = false;
};

struct MenuDescription {
  std::vector<MenuEntry> entries;
  std::uint32_t count = 0;
  FontHandle font = 0;
  bool enabled = false;
};

struct MenuSet {
  std::uint32_t count = 0;
  std::vector<MenuDescription> menus;
};

struct CommandDescription {
  const AppContext* context = nullptr;
  ControlDescription window;         // "1"
  ControlDescription systemIcon;     // 1.0  -> 1300
  ControlDescription systemText;     // 1.1  -> 1301
  CommandListDescription list;       // 1.2  -> 1302
  MenuSet menus;                     // 1.3  (no control)
  ControlDescription commandLine;    // 1.4  -> 1303
  ControlDescription browse;         // 1.5  -> 1304
  ControlDescription filterSupport;  // 1.6  -> 1305
  ControlDescription startHidden;    // 1.7  -> 1306
  ControlDescription execute;        // 1.8  -> 1308
  ControlDescription close;          // 1.9  -> 1309
  ControlDescription refresh;        // 1.10 -> 1310
  ControlDescription authorization;  // 1.11 -> 1311
  ControlDescription help;           // 1.12 -> 1312
};

struct HelpDescription {
  ControlDescription window;       // "2"
  ControlDescription icon;         // 2.0 -> 1500
  ControlDescription about;        // 2.1 -> 1501 (text composed by the loader)
  ControlDescription disclaimer;   // 2.2 -> 1503 (1024 units)
  ControlDescription close;        // 2.3 -> 1505
  ControlDescription diagnostics;  // 2.4 -> 1506
};

struct SplashDescription {
  ControlDescription window;   // caption "Tolvane 3.1", icon 104 of shell32.dll
  ControlDescription picture;  // 1400: icon 55 of shell32.dll
  ControlDescription text;     // 1401: "Please wait. Loading...", bold Arial 14
};

// Process identifier, paths and key name of one run, and the fatal message
// table. Built by Load(4) at start-up and released by Release(4) at exit.
struct AppContext {
  std::uint32_t processId = 0;
  TextBuffer exePath;       // 1024 units
  TextBuffer tempDir;       // 1024 units, ends with a backslash
  TextBuffer scriptPath;    // "%sTVN_%d.script"
  TextBuffer keyName;       // "Software\TVN\%d"
  TextBuffer diagLogPath;   // "%sTVN_diag.log"
  TextBuffer tempCopyPath;  // "%sTVN.exe"
  std::array<ItemDescription, 10> fatalMessages;
};

// Sections in order; creating or destroying one loads and frees nothing.
struct UiDescription {
  LogonDescription logon;
  CommandDescription command;
  HelpDescription help;
  AppContext context;
  SplashDescription splash;
};

enum LoadMode : int {
  kLoadLogon = 0,
  kLoadCommand = 1,
  kLoadSplash = 2,
  kLoadHelp = 3,
  kLoadContext = 4,
};

}  // namespace tvn
