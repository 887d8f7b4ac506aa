#include "description/loader.h"

#include <utility>
#include <vector>

namespace tvn {

std::uint32_t ClampCount(std::int32_t value, std::uint32_t limit) {
  if (value <= 0) return 0;
  std::uint32_t count = static_cast<std::uint32_t>(value);
  return count > limit ? limit : count;
}

Text HelpVersionText() {
  Text text = FormatText(u"%s %s.%s (build %s)", kCaptionUnits, {u"Tolvane", u"3", u"1", u"15"});
  text += u"\r\nCopyright (C) Tolvane developers";
  text += u"\r\nE-mail: tolvane@example.org";
  text += u"\r\nWeb: https://www.example.org/tolvane";
  return text;
}

namespace {

constexpr std::size_t kDisclaimerUnits = kPathUnits;  // element 2.2

std::int16_t Low16(std::int32_t value) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) & 0xFFFFu));
}

// Reads the values of one section. `path` arguments are element paths such
// as u"0.4"; the attribute code is appended as "#<code>".
class SectionReader {
 public:
  SectionReader(DescriptionReader& reader, HandleFactory& factory) : reader_(reader), factory_(factory) {}

  static Text Name(TextView path, int attribute) {
    Text name(path);
    name += u'#';
    name += FormatNumber(attribute);
    return name;
  }

  void TextInto(TextBuffer& buffer, std::size_t units, TextView name) {
    buffer.Allocate(units);
    buffer.Set(DecodeText(reader_, name));
  }
  IconHandle Icon(TextView name) {
    IconSpec spec = DecodeIcon(reader_, name);
    return spec.present ? factory_.MakeIcon(spec.file, spec.index) : IconHandle(0);
  }
  FontHandle Font(TextView name) { return factory_.MakeFont(DecodeFont(reader_, name)); }
  std::int32_t Integer(TextView name) { return DecodeInteger(reader_, name); }
  bool IsOne(TextView name) { return DecodeIsOne(reader_, name); }
  bool Enabled(TextView path) { return !IsOne(Name(path, kAttrDisabled)); }
  bool Focus(TextView path) { return IsOne(Name(path, kAttrFocus)); }

  // The dialog window: icon (0), caption (3). Font, enabled, focus stay none.
  void Window(ControlDescription& c, TextView path) {
    c.icon = Icon(Name(path, kAttrIcon));
    TextInto(c.text, kCaptionUnits, Name(path, kAttrText));
  }
  // An icon control: 0, 8.
  void IconControl(ControlDescription& c, TextView path) {
    c.icon = Icon(Name(path, kAttrIcon));
    c.enabled = Enabled(path);
  }
  // A label: 3, 7, 8 (never focused).
  void Label(ControlDescription& c, TextView path) {
    TextInto(c.text, kCaptionUnits, Name(path, kAttrText));
    c.font = Font(Name(path, kAttrFont));
    c.enabled = Enabled(path);
  }
  // A text box, edit box or button: 3, 7, 8, 9.
  void Control(ControlDescription& c, TextView path, std::size_t textUnits = kCaptionUnits) {
    TextInto(c.text, textUnits, Name(path, kAttrText));
    ControlState(c, path);
  }
  // 7, 8, 9 only.
  void ControlState(ControlDescription& c, TextView path) {
    c.font = Font(Name(path, kAttrFont));
    c.enabled = Enabled(path);
    c.focus = Focus(path);
  }
  // A check box: 22, 3, 7, 8, 9.
  void CheckBox(ControlDescription& c, TextView path) {
    c.checked = IsOne(Name(path, kAttrChecked));
    Control(c, path);
  }
  // An editable combo box: 20, 21, items "<path>.%d#3", 7, 8, 9.
  void Combo(ComboDescription& c, TextView path) {
    c.count = ClampCount(Integer(Name(path, kAttrCount)), kMaxComboItems);
    c.selected = Integer(Name(path, kAttrSelected));
    c.items.resize(c.count);
    Text pattern = Text(path) + u".%d#3";
    for (std::uint32_t i = 0; i < c.count; ++i) {
      TextInto(c.items[i].text, kCaptionUnits, DescriptionKey::ValueName(pattern, {i}));
    }
    c.font = Font(Name(path, kAttrFont));
    c.enabled = Enabled(path);
    c.focus = Focus(path);
  }

  void CommandList(CommandListDescription& list) {
    list.count = ClampCount(Integer(u"1.2#20"), kMaxCommandRows);
    list.rows.resize(list.count);
    for (std::uint32_t n = 0; n < list.count; ++n) {
      CommandEntry& row = list.rows[n];
      TextInto(row.text, kCaptionUnits, DescriptionKey::ValueName(u"1.2.%d#3", {n}));
      TextInto(row.command, kCommandUnits, DescriptionKey::ValueName(u"1.2.%d#4", {n}));
      row.icon = Icon(DescriptionKey::ValueName(u"1.2.%d#0", {n}));
      row.colour = static_cast<std::uint32_t>(Integer(DescriptionKey::ValueName(u"1.2.%d#2", {n})));
      row.menuType = Low16(Integer(DescriptionKey::ValueName(u"1.2.%d#5", {n})));
      row.menuNumber = Low16(Integer(DescriptionKey::ValueName(u"1.2.%d#6", {n})));
    }
    list.font = Font(u"1.2#7");
    list.enabled = Enabled(u"1.2");
    list.focus = Focus(u"1.2");
  }

  void Menus(MenuSet& set) {
    set.count = ClampCount(Integer(u"1.3#20"), kMaxMenus);
    set.menus.resize(set.count);
    for (std::uint32_t m = 0; m < set.count; ++m) {
      MenuDescription& menu = set.menus[m];
      menu.count = ClampCount(Integer(DescriptionKey::ValueName(u"1.3.%d#20", {m})), kMaxMenuEntries);
      menu.entries.resize(menu.count);
      for (std::uint32_t k = 0; k < menu.count; ++k) {
        MenuEntry& entry = menu.entries[k];
        TextInto(entry.text, kCaptionUnits, DescriptionKey::ValueName(u"1.3.%d.%d#3", {m, k}));
        TextInto(entry.command, kCommandUnits, DescriptionKey::ValueName(u"1.3.%d.%d#4", {m, k}));
        entry.icon = Icon(DescriptionKey::ValueName(u"1.3.%d.%d#0", {m, k}));
        entry.menuNumber = Low16(Integer(DescriptionKey::ValueName(u"1.3.%d.%d#6", {m, k})));
        entry.colour = 0;
        entry.menuType = 0;
      }
      menu.font = Font(DescriptionKey::ValueName(u"1.3.%d#7", {m}));
      menu.enabled = Enabled(DescriptionKey::ValueName(u"1.3.%d", {m}));
    }
  }

 private:
  DescriptionReader& reader_;
  HandleFactory& factory_;
};

void LoadLogon(SectionReader& r, LogonDescription& d) {
  r.Window(d.window, u"0");
  r.IconControl(d.systemIcon, u"0.0");
  r.Control(d.systemText, u"0.1");
  r.IconControl(d.domainIcon, u"0.2");
  r.Label(d.domainLabel, u"0.3");
  r.Combo(d.domain, u"0.4");
  r.IconControl(d.userIcon, u"0.5");
  r.Label(d.userLabel, u"0.6");
  r.Combo(d.user, u"0.7");
  r.IconControl(d.passwordIcon, u"0.8");
  r.Label(d.passwordLabel, u"0.9");
  r.Control(d.password, u"0.10");
  r.CheckBox(d.ignoreUac, u"0.11");
  r.CheckBox(d.loadProfile, u"0.12");
  r.CheckBox(d.currentUser, u"0.13");
  r.Control(d.logOn, u"0.14");
  r.Control(d.close, u"0.15");
  r.Control(d.help, u"0.16");
}

void LoadCommand(SectionReader& r, CommandDescription& d) {
  r.Window(d.window, u"1");
  r.IconControl(d.systemIcon, u"1.0");
  r.Control(d.systemText, u"1.1");
  r.CommandList(d.list);
  r.Menus(d.menus);
  r.Control(d.commandLine, u"1.4");
  r.Control(d.browse, u"1.5");
  r.CheckBox(d.filterSupport, u"1.6");
  r.CheckBox(d.startHidden, u"1.7");
  r.Control(d.execute, u"1.8");
  r.Control(d.close, u"1.9");
  r.Control(d.refresh, u"1.10");
  r.Control(d.authorization, u"1.11");
  r.Control(d.help, u"1.12");
}

void LoadHelp(SectionReader& r, HelpDescription& d) {
  r.Window(d.window, u"2");
  r.IconControl(d.icon, u"2.0");
  d.about.text.Allocate(kCaptionUnits);
  d.about.text.Set(HelpVersionText());
  r.ControlState(d.about, u"2.1");
  r.Control(d.disclaimer, u"2.2", kDisclaimerUnits);
  r.Control(d.close, u"2.3");
  r.Control(d.diagnostics, u"2.4");
}

void LoadSplash(HandleFactory& factory, SplashDescription& d) {
  d.window.icon = factory.MakeIcon(u"shell32.dll", 104);
  d.window.text.Allocate(kCaptionUnits);
  d.window.text.Set(FormatText(u"%s %s.%s", kCaptionUnits, {u"Tolvane", u"3", u"1"}));
  d.picture.icon = factory.MakeIcon(u"shell32.dll", 55);
  d.picture.enabled = true;
  d.text.text.Allocate(kCaptionUnits);
  d.text.text.Set(u"Please wait. Loading...");
  FontSpec font;
  font.face = u"arial";
  font.height = 14;
  font.weight = kFontWeightBold;
  d.text.font = factory.MakeFont(font);
  d.text.enabled = true;
}

// Runs `fill` between a successful open and the close of the key, on a fresh
// section that replaces `section` only when the key could be opened.
template <typename Section, typename Fill>
bool LoadFromRegistry(Section& section, TextView subKey, DescriptionSource& source, HandleFactory& factory,
                      std::uint32_t& lastError, Fill fill) {
  DescriptionReader reader(source);
  if (!reader.Open(subKey)) {
    lastError = reader.lastError();
    return false;
  }
  Section loaded;
  SectionReader r(reader, factory);
  fill(r, loaded);
  reader.Close();  // a failing close does not fail the load
  section = std::move(loaded);
  lastError = kStatusSuccess;
  return true;
}

void ReleaseItem(ItemDescription& item, HandleFactory& factory) {
  if (item.icon != 0) factory.DestroyIcon(item.icon);
  item.icon = 0;
  item.colour = 0;
  item.text.Free();
  item.command.Free();
  item.menuType = 0;
  item.menuNumber = 0;
}

void ReleaseFont(FontHandle& font, HandleFactory& factory) {
  if (font != 0) factory.DeleteFont(font);
  font = 0;
}

void ReleaseControl(ControlDescription& c, HandleFactory& factory) {
  ReleaseItem(c, factory);
  ReleaseFont(c.font, factory);
  c.checked = false;
  c.enabled = false;
  c.focus = false;
}

template <typename T>
void FreeArray(std::vector<T>& array) {
  std::vector<T>().swap(array);
}

void ReleaseCombo(ComboDescription& c, HandleFactory& factory) {
  for (ItemDescription& item : c.items) ReleaseItem(item, factory);
  FreeArray(c.items);
  c.count = 0;
  c.selected = 0;
  ReleaseFont(c.font, factory);
  c.enabled = false;
  c.focus = false;
}

void ReleaseLogon(LogonDescription& d, HandleFactory& f) {
  for (ControlDescription* c : {&d.window, &d.systemIcon, &d.systemText, &d.domainIcon, &d.domainLabel, &d.userIcon,
                                &d.userLabel, &d.passwordIcon, &d.passwordLabel, &d.password, &d.ignoreUac,
                                &d.loadProfile, &d.currentUser, &d.logOn, &d.close, &d.help}) {
    ReleaseControl(*c, f);
  }
  ReleaseCombo(d.domain, f);
  ReleaseCombo(d.user, f);
}

void ReleaseCommand(CommandDescription& d, HandleFactory& f) {
  for (ControlDescription* c : {&d.window, &d.systemIcon, &d.systemText}) ReleaseControl(*c, f);
  for (CommandEntry& row : d.list.rows) ReleaseItem(row, f);
  FreeArray(d.list.rows);
  d.list.count = 0;
  ReleaseFont(d.list.font, f);
  d.list.enabled = false;
  d.list.focus = false;
  for (MenuDescription& menu : d.menus.menus) {
    for (MenuEntry& entry : menu.entries) ReleaseItem(entry, f);
    FreeArray(menu.entries);
    menu.count = 0;
    ReleaseFont(menu.font, f);
  }
  FreeArray(d.menus.menus);
  d.menus.count = 0;
  for (ControlDescription* c : {&d.commandLine, &d.browse, &d.filterSupport, &d.startHidden, &d.execute, &d.close,
                                &d.refresh, &d.authorization, &d.help}) {
    ReleaseControl(*c, f);
  }
}

void ReleaseHelp(HelpDescription& d, HandleFactory& f) {
  for (ControlDescription* c : {&d.window, &d.icon, &d.about, &d.disclaimer, &d.close, &d.diagnostics}) {
    ReleaseControl(*c, f);
  }
}

void ReleaseSplash(SplashDescription& d, HandleFactory& f) {
  for (ControlDescription* c : {&d.window, &d.picture, &d.text}) ReleaseControl(*c, f);
}

}  // namespace

bool Load(UiDescription& ui, LoadMode mode, TextView subKey, DescriptionSource& source, HandleFactory& factory,
          std::uint32_t& lastError) {
  switch (mode) {
    case kLoadLogon: {
      const AppContext* context = ui.logon.context;
      bool ok = LoadFromRegistry(ui.logon, subKey, source, factory, lastError, LoadLogon);
      ui.logon.context = context;
      return ok;
    }
    case kLoadCommand: {
      const AppContext* context = ui.command.context;
      bool ok = LoadFromRegistry(ui.command, subKey, source, factory, lastError, LoadCommand);
      ui.command.context = context;
      return ok;
    }
    case kLoadHelp: return LoadFromRegistry(ui.help, subKey, source, factory, lastError, LoadHelp);
    case kLoadSplash: {
      SplashDescription loaded;
      LoadSplash(factory, loaded);
      ui.splash = std::move(loaded);
      lastError = kStatusSuccess;
      return true;
    }
    case kLoadContext:
    default: lastError = kStatusInvalidParameter; return false;
  }
}

void Release(UiDescription& ui, LoadMode mode, HandleFactory& factory) {
  switch (mode) {
    case kLoadLogon: ReleaseLogon(ui.logon, factory); break;
    case kLoadCommand: ReleaseCommand(ui.command, factory); break;
    case kLoadSplash: ReleaseSplash(ui.splash, factory); break;
    case kLoadHelp: ReleaseHelp(ui.help, factory); break;
    case kLoadContext:
    default: break;
  }
}

}  // namespace tvn
