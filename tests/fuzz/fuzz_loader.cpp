// Load and Release of the log-on, command, help and splash sections from a
// description whose value names and texts come from the input.
//
// Input: byte 0 holds flags (bit 0: the key cannot be opened; bit 1: load the
// sections twice, releasing in between). The rest is a list of records
// separated by line feeds, each "name=value" in UTF-8; a record without '='
// is skipped. Value texts are stored as REG_SZ text with their terminator.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "description/loader.h"
#include "fuzz_util.h"
#include "tests/support/description_fakes.h"

using tvn::Text;
using tvn::TextView;

namespace {

void CheckText(const tvn::TextBuffer& buffer, std::size_t units) {
  FUZZ_CHECK(buffer.allocated());
  FUZZ_CHECK(buffer.capacity() == units);
  FUZZ_CHECK(buffer.text().size() < units);
}

void CheckReleased(const tvn::TextBuffer& buffer) {
  FUZZ_CHECK(!buffer.allocated());
  FUZZ_CHECK(buffer.text().empty());
}

void CheckLogon(const tvn::LogonDescription& d) {
  for (const tvn::ComboDescription* combo : {&d.domain, &d.user}) {
    FUZZ_CHECK(combo->count <= tvn::kMaxComboItems);
    FUZZ_CHECK(combo->items.size() == combo->count);
    for (const tvn::ItemDescription& item : combo->items) {
      CheckText(item.text, tvn::kCaptionUnits);
      FUZZ_CHECK(item.icon == 0 && !item.command.allocated());
    }
  }
  CheckText(d.window.text, tvn::kCaptionUnits);
  CheckText(d.password.text, tvn::kCaptionUnits);
  FUZZ_CHECK(d.window.font == 0 && !d.window.enabled && !d.window.focus);
}

std::size_t CheckCommand(const tvn::CommandDescription& d) {
  FUZZ_CHECK(d.list.count <= tvn::kMaxCommandRows);
  FUZZ_CHECK(d.list.rows.size() == d.list.count);
  for (const tvn::CommandEntry& row : d.list.rows) {
    CheckText(row.text, tvn::kCaptionUnits);
    CheckText(row.command, tvn::kCommandUnits);
  }
  FUZZ_CHECK(d.menus.count <= tvn::kMaxMenus);
  FUZZ_CHECK(d.menus.menus.size() == d.menus.count);
  std::size_t entries = 0;
  for (const tvn::MenuDescription& menu : d.menus.menus) {
    FUZZ_CHECK(menu.count <= tvn::kMaxMenuEntries);
    FUZZ_CHECK(menu.entries.size() == menu.count);
    FUZZ_CHECK(menu.font != 0);
    for (const tvn::MenuEntry& entry : menu.entries) {
      CheckText(entry.text, tvn::kCaptionUnits);
      CheckText(entry.command, tvn::kCommandUnits);
      FUZZ_CHECK(entry.colour == 0 && entry.menuType == 0);
    }
    entries += menu.count;
  }
  CheckText(d.window.text, tvn::kCaptionUnits);
  CheckText(d.commandLine.text, tvn::kCaptionUnits);
  return entries;
}

void CheckHelp(const tvn::HelpDescription& d) {
  CheckText(d.window.text, tvn::kCaptionUnits);
  CheckText(d.about.text, tvn::kCaptionUnits);
  FUZZ_CHECK(d.about.text.text() == tvn::HelpVersionText());
  CheckText(d.disclaimer.text, tvn::kPathUnits);
}

// Icons that each section can hold: its fixed icon elements plus one per row
// and per menu entry. Fonts: one per described font attribute, always made.
struct Expected {
  std::size_t maxIcons;
  std::size_t fonts;
};

Expected ExpectedHandles(tvn::LoadMode mode, const tvn::UiDescription& ui, std::size_t menuEntries) {
  switch (mode) {
    case tvn::kLoadLogon: return {5, 13};  // window, 0.0, 0.2, 0.5, 0.8; 0.1, 0.3, 0.4, 0.6, 0.7, 0.9 .. 0.16
    case tvn::kLoadCommand: return {2 + ui.command.list.count + menuEntries, 11 + ui.command.menus.count};
    case tvn::kLoadHelp: return {2, 4};  // window, 2.0; 2.1 .. 2.4
    case tvn::kLoadSplash:
    default: return {2, 1};
  }
}

void LoadAndRelease(tvn::UiDescription& ui, tvn::LoadMode mode, tvn::testing_fakes::MemorySource& source,
                    bool openFails) {
  tvn::testing_fakes::CountingFactory factory;
  std::uint32_t lastError = 12345;
  bool ok = tvn::Load(ui, mode, u"Software\\TVN\\7", source, factory, lastError);
  FUZZ_CHECK(!source.open);                // every path closes what it opened
  FUZZ_CHECK(source.closesUnopened == 0);  // and only that
  if (openFails && mode != tvn::kLoadSplash) {
    FUZZ_CHECK(!ok);
    FUZZ_CHECK(lastError == tvn::kStatusFileNotFound);
    FUZZ_CHECK(factory.iconsMade == 0 && factory.fontsMade == 0);
    return;  // a failed load is not released
  }
  FUZZ_CHECK(ok);
  FUZZ_CHECK(lastError == tvn::kStatusSuccess);

  std::size_t menuEntries = 0;
  switch (mode) {
    case tvn::kLoadLogon: CheckLogon(ui.logon); break;
    case tvn::kLoadCommand: menuEntries = CheckCommand(ui.command); break;
    case tvn::kLoadHelp: CheckHelp(ui.help); break;
    default: break;
  }
  Expected expected = ExpectedHandles(mode, ui, menuEntries);
  FUZZ_CHECK(static_cast<std::size_t>(factory.iconsMade) <= expected.maxIcons);
  FUZZ_CHECK(static_cast<std::size_t>(factory.fontsMade) == expected.fonts);

  tvn::Release(ui, mode, factory);
  FUZZ_CHECK(factory.misuse == 0);
  FUZZ_CHECK(factory.liveIcons.empty() && factory.liveFonts.empty());
  FUZZ_CHECK(factory.iconsDestroyed == factory.iconsMade);
  FUZZ_CHECK(factory.fontsDeleted == factory.fontsMade);

  switch (mode) {
    case tvn::kLoadLogon:
      FUZZ_CHECK(ui.logon.domain.items.empty() && ui.logon.user.items.empty());
      FUZZ_CHECK(ui.logon.domain.count == 0 && ui.logon.user.count == 0);
      CheckReleased(ui.logon.window.text);
      break;
    case tvn::kLoadCommand:
      FUZZ_CHECK(ui.command.list.rows.empty() && ui.command.list.count == 0);
      FUZZ_CHECK(ui.command.menus.menus.empty() && ui.command.menus.count == 0);
      CheckReleased(ui.command.window.text);
      break;
    case tvn::kLoadHelp:
      CheckReleased(ui.help.about.text);
      CheckReleased(ui.help.disclaimer.text);
      break;
    default:
      CheckReleased(ui.splash.text.text);
      FUZZ_CHECK(ui.splash.picture.icon == 0);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool openFails = (data[0] & 1) != 0;
  const bool twice = (data[0] & 2) != 0;
  tvn::testing_fakes::MemorySource source;
  source.logQueries = false;  // descriptions with thousands of menu entries stay quick
  if (openFails) source.openStatus = tvn::kStatusFileNotFound;
  std::string_view records(reinterpret_cast<const char*>(data + 1), size - 1);
  while (!records.empty()) {
    std::size_t end = records.find('\n');
    std::string_view record = records.substr(0, end);
    records = end == std::string_view::npos ? std::string_view() : records.substr(end + 1);
    std::size_t eq = record.find('=');
    if (eq != std::string_view::npos)
      source.SetUtf8(std::string(record.substr(0, eq)), std::string(record.substr(eq + 1)));
  }

  static const tvn::AppContext context;
  tvn::UiDescription ui;
  ui.logon.context = &context;
  ui.command.context = &context;
  for (int pass = 0; pass < (twice ? 2 : 1); ++pass) {
    for (tvn::LoadMode mode : {tvn::kLoadLogon, tvn::kLoadCommand, tvn::kLoadHelp, tvn::kLoadSplash}) {
      LoadAndRelease(ui, mode, source, openFails);
    }
    FUZZ_CHECK(ui.logon.context == &context && ui.command.context == &context);
  }
  return 0;
}
