#include "dialogs/command_state.h"

#include <utility>

namespace tvn {
namespace {

constexpr int kListItemChanged = -101;  // LVN_ITEMCHANGED
constexpr int kListSetFocus = -7;       // NM_SETFOCUS
constexpr int kListKillFocus = -8;      // NM_KILLFOCUS
constexpr int kEditSetFocus = 0x100;    // EN_SETFOCUS
constexpr int kEditKillFocus = 0x200;   // EN_KILLFOCUS
constexpr int kEditChange = 0x300;      // EN_CHANGE
constexpr int kButtonSetFocus = 6;      // BN_SETFOCUS
constexpr int kButtonKillFocus = 7;     // BN_KILLFOCUS

CommandState Decided(Text current, bool ready) {
  CommandState state;
  state.current = std::move(current);
  state.ready = ready ? 1 : 0;
  state.executeEnabled = ready;
  return state;
}

}  // namespace

CommandState DecideCommandState(const CommandStateInput& input, TextView current) {
  switch (input.focusId) {
    case kCommandListId: {
      if (!input.selectedCommand) return Decided(Text(), false);
      Text command = Truncated(*input.selectedCommand, kCommandUnits);
      bool ready = !command.empty();
      return Decided(std::move(command), ready);
    }
    case kCommandLineId: {
      Text line = Truncated(input.lineText, kCommandUnits);
      bool ready = !line.empty() && line[0] != u' ' && line[0] != u'\t';
      return Decided(std::move(line), ready);
    }
    case kCommandExecuteId: return Decided(Text(current), !current.empty());
    default: return Decided(Text(current), false);
  }
}

bool TriggersCommandStateUpdate(int controlId, int code) {
  switch (controlId) {
    case kCommandListId: return code == kListItemChanged || code == kListSetFocus || code == kListKillFocus;
    case kCommandInfoId: return code == kEditSetFocus || code == kEditKillFocus;
    case kCommandLineId: return code == kEditSetFocus || code == kEditKillFocus || code == kEditChange;
    case 1304:
    case 1305:
    case 1306:
    case 1308:
    case 1309:
    case 1310:
    case 1311:
    case 1312: return code == kButtonSetFocus || code == kButtonKillFocus;
    default: return false;
  }
}

int CompareCommandTitles(const std::vector<CommandEntry>& rows, std::intptr_t a, std::intptr_t b,
                         TitleCompare compareTitles) {
  static const Text kNoTitle;
  auto title = [&rows](std::intptr_t index) -> const Text& {
    if (index < 0 || static_cast<std::size_t>(index) >= rows.size()) return kNoTitle;
    return rows[static_cast<std::size_t>(index)].text.text();
  };
  return compareTitles(title(a), title(b));
}

}  // namespace tvn
