#include "dialogs/menu_model.h"

#include <algorithm>

#include "base/error_text.h"

namespace tvn {
namespace {

// No folder of the shell has this many children; an enumerator that never
// ends is cut off here instead of filling memory.
constexpr std::uint32_t kMaxChildren = 10000;

}  // namespace

RowMenuKind ClassifyRowMenu(const MenuSet& menus, std::int16_t menuNumber, std::uint16_t menuType) {
  // A negative number, taken as unsigned, lies far beyond any count.
  auto number = static_cast<std::uint32_t>(static_cast<std::int32_t>(menuNumber));
  if (number >= menus.count || number >= menus.menus.size()) return RowMenuKind::kNothing;
  if (menuType == kMenuTypeStatic) return RowMenuKind::kStatic;
  if (menuType == kMenuTypeShell) return RowMenuKind::kShell;
  return RowMenuKind::kNothing;
}

const MenuDescription* RowMenu(const MenuSet& menus, std::int16_t menuNumber, std::uint16_t menuType) {
  if (ClassifyRowMenu(menus, menuNumber, menuType) == RowMenuKind::kNothing) return nullptr;
  return &menus.menus[static_cast<std::uint16_t>(menuNumber)];
}

std::size_t MenuEntryCount(const MenuDescription& menu) {
  return std::min<std::size_t>(menu.count, menu.entries.size());
}

std::vector<StaticPopupItem> StaticPopupItems(const MenuDescription& menu) {
  std::vector<StaticPopupItem> items;
  std::size_t count = MenuEntryCount(menu);
  items.reserve(count);
  for (std::size_t n = count; n-- > 0;) {
    StaticPopupItem item;
    item.id = static_cast<unsigned>(n + 1);
    item.title = menu.entries[n].text.text();
    item.separator = item.title.empty();
    items.push_back(std::move(item));
  }
  return items;
}

const Text* StaticPopupCommand(const MenuDescription& menu, unsigned pickedId) {
  if (pickedId == 0 || pickedId > MenuEntryCount(menu)) return nullptr;
  return &menu.entries[pickedId - 1].command.text();
}

int ShellEntryCsidl(const MenuEntry& entry) { return ParseInt32(entry.command.text()); }

const Text& NotSupportedName() {
  static const Text name = FromAscii("<NOT SUPPORTED>");
  return name;
}

std::size_t IdListSize(const unsigned char* idList, std::size_t limit) {
  if (!idList) return 0;
  std::size_t pos = 0;
  while (pos + 2 <= limit) {
    std::size_t cb = static_cast<std::size_t>(idList[pos]) | (static_cast<std::size_t>(idList[pos + 1]) << 8);
    if (cb == 0) return pos + 2;
    if (cb < 2) break;  // a count too small to hold itself: the list is damaged, stop here
    pos += cb;
  }
  return std::min(pos + 2, limit);
}

std::string OffsetNameBytes(const unsigned char* idList, std::size_t idListSize, std::uint32_t offset) {
  std::string bytes;
  if (!idList || offset >= idListSize) return bytes;
  for (std::size_t i = offset; i < idListSize && idList[i] != 0; ++i) bytes.push_back(static_cast<char>(idList[i]));
  return bytes;
}

ShellMenuState::ShellItem* ShellMenuState::Find(int key) {
  for (ShellItem& item : items_) {
    if (item.key == key) return &item;
  }
  return nullptr;
}

void ShellMenuState::HoldFolder(ShellObject folder) {
  if (!folder) return;
  if (std::find(folders_.begin(), folders_.end(), folder) == folders_.end()) folders_.insert(folders_.begin(), folder);
}

bool ShellMenuState::OpenRoot(ShellObject owner, int csidl) {
  owner_ = owner;
  bool obtainedHere = false;
  if (!active_) {
    ShellObject allocator = nullptr;
    if (std::uint32_t e = platform_.GetAllocator(&allocator)) return Fail(e);
    ShellObject desktop = nullptr;
    if (std::uint32_t e = platform_.GetDesktopFolder(&desktop)) {
      platform_.Release(allocator);
      return Fail(e);
    }
    allocator_ = allocator;
    desktop_ = desktop;
    obtainedHere = true;
  }
  ShellObject idList = nullptr;
  if (std::uint32_t e = platform_.GetSpecialFolder(owner, csidl, &idList)) {
    if (obtainedHere) {
      platform_.Release(desktop_);
      platform_.Release(allocator_);
      desktop_ = nullptr;
      allocator_ = nullptr;
    }
    return Fail(e);
  }
  AddItem(idList, desktop_);
  active_ = true;
  error_ = 0;
  return true;
}

int ShellMenuState::AddItem(ShellObject idList, ShellObject folder) {
  HoldFolder(folder);
  ShellItem item;
  item.key = lastKey_ + 1;
  item.parent = folder;
  item.idList = idList;
  items_.push_back(item);
  lastKey_ = item.key;
  return item.key;
}

std::uint32_t ShellMenuState::EnumerateChildren(int key, std::uint32_t flags) {
  error_ = 0;
  const ShellItem* item = Find(key);
  if (!item) return 0;
  ShellObject folder = nullptr;
  if (std::uint32_t e = platform_.BindToFolder(item->parent, item->idList, &folder)) {
    Fail(e);
    return 0;
  }
  ShellObject enumerator = nullptr;
  if (std::uint32_t e = platform_.EnumObjects(folder, owner_, flags, &enumerator)) {
    platform_.Release(folder);
    Fail(e);
    return 0;
  }
  // A folder that is held already (an empty id list binds to its parent)
  // came back with a reference of its own: give that one back.
  if (std::find(folders_.begin(), folders_.end(), folder) != folders_.end()) {
    platform_.Release(folder);
  } else {
    HoldFolder(folder);
  }
  std::uint32_t count = 0;
  ShellObject child = nullptr;
  while (count < kMaxChildren && platform_.Next(enumerator, &child)) {
    if (!child) break;
    AddItem(child, folder);
    ++count;
    child = nullptr;
  }
  platform_.Release(enumerator);
  error_ = 0;
  return count;
}

bool ShellMenuState::DescribeItem(int key, Text* name, std::uint32_t* attributes) {
  name->clear();
  *attributes = 0;
  error_ = 0;
  const ShellItem* item = Find(key);
  if (!item) return true;
  bool result = true;
  ShellDisplayName display;
  if (std::uint32_t e = platform_.GetDisplayName(allocator_, item->parent, item->idList, &display)) {
    result = Fail(e);
  } else {
    switch (display.kind) {
      case kStrretWstr: *name = Truncated(display.wide, kShellNameChars + 1); break;
      case kStrretOffset: {
        std::string bytes = platform_.IdListBytes(item->idList);
        std::string narrow =
            OffsetNameBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), display.offset);
        *name = Truncated(platform_.FromAnsi(narrow), kShellNameChars + 1);
        break;
      }
      case kStrretCstr: *name = NotSupportedName(); break;
      default: result = Fail(kErrorInvalidData); break;
    }
  }
  std::uint32_t asked = kSfgaoFolder;
  if (std::uint32_t e = platform_.GetAttributes(item->parent, item->idList, &asked)) {
    result = Fail(e);
  } else {
    *attributes = asked;
  }
  return result;
}

bool ShellMenuState::AttachContextMenu(int key, ShellObject menu) {
  error_ = 0;
  ShellItem* item = Find(key);
  if (!item) return true;
  if (item->contextMenu) {
    platform_.Release(item->contextMenu);
    item->contextMenu = nullptr;
  }
  ShellObject contextMenu = nullptr;
  if (std::uint32_t e = platform_.GetContextMenu(item->parent, owner_, item->idList, &contextMenu)) return Fail(e);
  item->contextMenu = contextMenu;
  if (std::uint32_t e = platform_.QueryContextMenu(contextMenu, menu)) return Fail(e);
  return true;
}

bool ShellMenuState::InvokeContextCommand(int key, unsigned commandId, int showState) {
  error_ = 0;
  ShellItem* item = Find(key);
  if (!item || !item->contextMenu || commandId == 0) return true;
  if (std::uint32_t e = platform_.InvokeCommand(item->contextMenu, owner_, commandId, showState)) return Fail(e);
  return true;
}

void ShellMenuState::ResetShellState() {
  active_ = false;
  lastKey_ = 0;
  for (ShellItem& item : items_) {
    if (item.idList) platform_.FreeIdList(allocator_, item.idList);
    if (item.contextMenu) platform_.Release(item.contextMenu);
  }
  for (ShellObject folder : folders_) platform_.Release(folder);
  if (allocator_) platform_.Release(allocator_);
  items_.clear();
  folders_.clear();
  allocator_ = nullptr;
  desktop_ = nullptr;
}

}  // namespace tvn
