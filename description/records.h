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
  ControlDescription systemIcon;     // 0.0  -> IDC_LOGON_ICON
  ControlDescription systemText;     // 0.1  -> IDC_LOGON_INFO
  ControlDescription domainIcon;     // 0.2  -> IDC_LOGON_DOMAIN_ICON
  ControlDescription domainLabel;    // 0.3  -> IDC_LOGON_DOMAIN_LABEL
  ComboDescription domain;           // 0.4  -> IDC_LOGON_DOMAIN
  ControlDescription userIcon;       // 0.5  -> IDC_LOGON_USER_ICON
  ControlDescription userLabel;      // 0.6  -> IDC_LOGON_USER_LABEL
  ComboDescription user;             // 0.7  -> IDC_LOGON_USER
  ControlDescription passwordIcon;   // 0.8  -> IDC_LOGON_PASSWORD_ICON
  ControlDescription passwordLabel;  // 0.9  -> IDC_LOGON_PASSWORD_LABEL
  ControlDescription password;       // 0.10 -> IDC_LOGON_PASSWORD
  ControlDescription ignoreUac;      // 0.11 -> IDC_LOGON_IGNORE_UAC
  ControlDescription loadProfile;    // 0.12 -> IDC_LOGON_LOAD_PROFILE
  ControlDescription currentUser;    // 0.13 -> IDC_LOGON_CURRENT_CREDENTIALS
  ControlDescription logOn;          // 0.14 -> IDC_LOGON_LOGON
  ControlDescription close;          // 0.15 -> IDC_LOGON_CLOSE
  ControlDescription help;           // 0.16 -> IDC_LOGON_HELP
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
  ControlDescription systemIcon;     // 1.0  -> IDC_COMMAND_ICON
  ControlDescription systemText;     // 1.1  -> IDC_COMMAND_INFO
  CommandListDescription list;       // 1.2  -> IDC_COMMAND_LIST
  MenuSet menus;                     // 1.3  (no control)
  ControlDescription commandLine;    // 1.4  -> IDC_COMMAND_LINE
  ControlDescription browse;         // 1.5  -> IDC_COMMAND_BROWSE
  ControlDescription filterSupport;  // 1.6  -> IDC_COMMAND_SUPPORT_FILTERS
  ControlDescription startHidden;    // 1.7  -> IDC_COMMAND_START_HIDDEN
  ControlDescription execute;        // 1.8  -> IDC_COMMAND_EXECUTE
  ControlDescription close;          // 1.9  -> IDC_COMMAND_CLOSE
  ControlDescription refresh;        // 1.10 -> IDC_COMMAND_REFRESH
  ControlDescription authorization;  // 1.11 -> IDC_COMMAND_AUTHORIZATION
  ControlDescription help;           // 1.12 -> IDC_COMMAND_HELP
};

struct HelpDescription {
  ControlDescription window;       // "2"
  ControlDescription icon;         // 2.0 -> IDC_HELP_ICON
  ControlDescription about;        // 2.1 -> IDC_HELP_ABOUT (text composed by the loader)
  ControlDescription disclaimer;   // 2.2 -> IDC_HELP_DISCLAIMER (1024 units)
  ControlDescription close;        // 2.3 -> IDC_HELP_CLOSE
  ControlDescription diagnostics;  // 2.4 -> IDC_HELP_DIAGNOSTICS
};

struct SplashDescription {
  ControlDescription window;   // caption "Tolvane 3.1", icon 104 of shell32.dll
  ControlDescription picture;  // IDC_SPLASH_ICON: icon 55 of shell32.dll
  ControlDescription text;     // IDC_SPLASH_TEXT: "Please wait. Loading...", bold Arial 14
};

// Process identifier, paths and key name of one run, and the fatal message
// table. Built by LoadAppContext at start-up and released by
// ReleaseAppContext at exit.
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
