#include "dialogs/menu_model.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace tvn {
namespace {

MenuDescription MakeMenu(std::initializer_list<std::pair<const char*, const char*>> entries) {
  MenuDescription menu;
  for (const auto& e : entries) {
    MenuEntry entry;
    entry.text.Allocate(kCaptionUnits);
    entry.text.Set(FromAscii(e.first));
    entry.command.Allocate(kCommandUnits);
    entry.command.Set(FromAscii(e.second));
    menu.entries.push_back(std::move(entry));
  }
  menu.count = static_cast<std::uint32_t>(menu.entries.size());
  return menu;
}

TEST(MenuModel, StaticPopupListsEntriesInReverseWithIdsAndSeparators) {
  MenuDescription menu = MakeMenu({{"first", "one.exe"}, {"", ""}, {"third", "three.exe"}});
  std::vector<StaticPopupItem> items = StaticPopupItems(menu);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].id, 3u);
  EXPECT_EQ(items[0].title, u"third");
  EXPECT_FALSE(items[0].separator);
  EXPECT_EQ(items[1].id, 2u);
  EXPECT_TRUE(items[1].separator);
  EXPECT_EQ(items[2].id, 1u);
  EXPECT_EQ(items[2].title, u"first");

  ASSERT_NE(StaticPopupCommand(menu, 3), nullptr);
  EXPECT_EQ(*StaticPopupCommand(menu, 3), u"three.exe");
  EXPECT_EQ(*StaticPopupCommand(menu, 1), u"one.exe");
  EXPECT_EQ(StaticPopupCommand(menu, 0), nullptr);
  EXPECT_EQ(StaticPopupCommand(menu, 4), nullptr);
  EXPECT_EQ(StaticPopupCommand(menu, 5000), nullptr);
}

TEST(MenuModel, CountsLargerThanTheArraysAreBounded) {
  MenuDescription menu = MakeMenu({{"a", "a.exe"}});
  menu.count = 5;  // more than the entries present
  EXPECT_EQ(StaticPopupItems(menu).size(), 1u);
  EXPECT_EQ(StaticPopupCommand(menu, 2), nullptr);

  MenuSet set;
  set.count = 3;
  set.menus.push_back(menu);  // only one menu behind a count of 3
  EXPECT_EQ(ClassifyRowMenu(set, 0, 1), RowMenuKind::kStatic);
  EXPECT_EQ(ClassifyRowMenu(set, 1, 1), RowMenuKind::kNothing);
}

TEST(MenuModel, WhichRowMenusOpenNothing) {
  MenuSet set;
  set.count = 2;
  set.menus.resize(2);
  EXPECT_EQ(ClassifyRowMenu(set, 0, 1), RowMenuKind::kStatic);
  EXPECT_EQ(ClassifyRowMenu(set, 1, 2), RowMenuKind::kShell);
  EXPECT_EQ(RowMenu(set, 1, 2), &set.menus[1]);
  // Numbers equal to or above the count, and negative ones.
  for (std::int16_t number : {2, 3, 32767, -1, -2, -32768}) {
    EXPECT_EQ(ClassifyRowMenu(set, number, 1), RowMenuKind::kNothing) << number;
    EXPECT_EQ(ClassifyRowMenu(set, number, 2), RowMenuKind::kNothing) << number;
    EXPECT_EQ(RowMenu(set, number, 1), nullptr);
  }
  // Type 0 and types other than 1 and 2.
  for (std::uint16_t type : {0, 3, 4, 0x7FFF, 0x8001, 0xFFFF}) {
    EXPECT_EQ(ClassifyRowMenu(set, 0, type), RowMenuKind::kNothing) << type;
  }
  MenuSet none;
  EXPECT_EQ(ClassifyRowMenu(none, 0, 1), RowMenuKind::kNothing);
  // The count decides even where the array holds more menus.
  set.menus.resize(3);
  EXPECT_EQ(ClassifyRowMenu(set, 2, 1), RowMenuKind::kNothing);
}

TEST(MenuModel, ShellEntryCsidlReadsTheCommandAsInteger) {
  auto csidl = [](const char* command) {
    MenuEntry entry;
    entry.command.Allocate(kCommandUnits);
    entry.command.Set(FromAscii(command));
    return ShellEntryCsidl(entry);
  };
  EXPECT_EQ(csidl("3"), 3);
  EXPECT_EQ(csidl("49"), 49);
  EXPECT_EQ(csidl("  4"), 4);
  EXPECT_EQ(csidl("4x"), 4);
  EXPECT_EQ(csidl(""), 0);
  EXPECT_EQ(csidl("control"), 0);
  EXPECT_EQ(csidl("-5"), -5);
}

TEST(MenuModel, IdListMeasuresAndOffsetNamesDecode) {
  // Two items (cb 6 and 4) and the terminator.
  const unsigned char list[] = {6, 0, 'a', 'b', 0, 'x', 4, 0, 'c', 'd', 0, 0};
  EXPECT_EQ(IdListSize(list), sizeof(list));
  EXPECT_EQ(OffsetNameBytes(list, sizeof(list), 2), "ab");
  // Without a zero of its own the text runs on into the next item's count.
  EXPECT_EQ(OffsetNameBytes(list, sizeof(list), 5), std::string("x\x04"));
  EXPECT_EQ(OffsetNameBytes(list, sizeof(list), 8), "cd");
  EXPECT_EQ(OffsetNameBytes(list, sizeof(list), 12), "");  // at the end
  EXPECT_EQ(OffsetNameBytes(list, sizeof(list), 0xFFFFFFFFu), "");
  EXPECT_EQ(OffsetNameBytes(nullptr, 10, 0), "");
  // A name without a terminator stops at the end of the list.
  const unsigned char open[] = {'n', 'a', 'm', 'e'};
  EXPECT_EQ(OffsetNameBytes(open, sizeof(open), 1), "ame");
  // The empty list and a damaged count.
  const unsigned char empty[] = {0, 0};
  EXPECT_EQ(IdListSize(empty), 2u);
  const unsigned char damaged[] = {1, 0, 7, 7};
  EXPECT_EQ(IdListSize(damaged), 2u);
  // A list that never ends is measured up to the limit only.
  std::vector<unsigned char> endless(64, 2);
  for (std::size_t i = 1; i < endless.size(); i += 2) endless[i] = 0;
  EXPECT_EQ(IdListSize(endless.data(), endless.size()), endless.size());
  EXPECT_EQ(IdListSize(nullptr), 0u);
  // A count above 255 needs its high byte: one item of 258 bytes (zeros
  // inside, which a count read from its low byte alone would take for the end).
  std::vector<unsigned char> wide(260, 0);
  wide[0] = 2;
  wide[1] = 1;
  EXPECT_EQ(IdListSize(wide.data(), wide.size()), 260u);
}

// --- A fake shell that counts every object it hands out ------------------

struct FakeNode {
  std::string name;
  std::uint32_t kind = kStrretWstr;
  bool folder = false;
  std::vector<int> children;
};

class FakeShell : public ShellPlatform {
 public:
  FakeShell() {
    nodes_.push_back({"Desktop", kStrretWstr, true, {1, 4}});              // 0
    nodes_.push_back({"Control Panel", kStrretWstr, true, {2, 3, 5, 6}});  // 1
    nodes_.push_back({std::string(80, 'L'), kStrretWstr, false, {}});      // 2: long wide name
    nodes_.push_back({"Mouse", kStrretCstr, false, {}});                   // 3
    nodes_.push_back({"Printers", kStrretWstr, true, {}});                 // 4
    nodes_.push_back({"Fonts folder", kStrretOffset, true, {}});           // 5
    nodes_.push_back({"Odd", 7, false, {}});                               // 6: unknown STRRET kind
    csidl_[0] = 0;
    csidl_[3] = 1;
    csidl_[4] = 4;
  }

  // Failure switches: each names the step that fails with its error.
  std::uint32_t failAllocator = 0, failDesktop = 0, failSpecial = 0, failBind = 0, failEnum = 0, failName = 0,
                failAttributes = 0, failContext = 0, failQuery = 0, failInvoke = 0;
  bool endless = false;
  bool nullChild = false;  // Next reports an item but hands out none

  void Rename(int node, const std::string& name) { nodes_[node].name = name; }

  int allocatorCalls = 0;
  int badReleases = 0;
  std::vector<std::pair<unsigned, int>> invoked;
  std::vector<ShellObject> queriedMenus;

  int Live() const {
    int live = 0;
    for (const auto& o : objects_) live += o.second.refs;
    return live;
  }
  int Live(const std::string& kind) const {
    int live = 0;
    for (const auto& o : objects_) live += o.second.kind == kind ? o.second.refs : 0;
    return live;
  }

  std::uint32_t GetAllocator(ShellObject* allocator) override {
    ++allocatorCalls;
    if (failAllocator) return failAllocator;
    *allocator = New("allocator", -1);
    return 0;
  }
  std::uint32_t GetDesktopFolder(ShellObject* folder) override {
    if (failDesktop) return failDesktop;
    *folder = New("folder", 0);
    return 0;
  }
  std::uint32_t GetSpecialFolder(ShellObject, int csidl, ShellObject* idList) override {
    if (failSpecial) return failSpecial;
    auto it = csidl_.find(csidl);
    if (it == csidl_.end()) return 0x80070057u;
    // The desktop's own id list is the empty one.
    *idList = New("idlist", it->second, it->second == 0);
    return 0;
  }
  std::uint32_t BindToFolder(ShellObject parent, ShellObject idList, ShellObject* folder) override {
    if (failBind) return failBind;
    Object& list = Get(idList);
    if (list.empty) {  // the empty list names the parent itself
      ++Get(parent).refs;
      *folder = parent;
      return 0;
    }
    if (!nodes_[list.node].folder) return 0x80004002u;
    *folder = New("folder", list.node);
    return 0;
  }
  std::uint32_t EnumObjects(ShellObject folder, ShellObject, std::uint32_t flags, ShellObject* enumerator) override {
    if (failEnum) return failEnum;
    lastFlags = flags;
    *enumerator = New("enum", Get(folder).node);
    return 0;
  }
  bool Next(ShellObject enumerator, ShellObject* idList) override {
    Object& e = Get(enumerator);
    if (nullChild) {
      *idList = nullptr;
      return true;
    }
    if (endless) {
      *idList = New("idlist", 3);
      return true;
    }
    const auto& children = nodes_[e.node].children;
    if (e.cursor >= children.size()) return false;
    *idList = New("idlist", children[e.cursor++]);
    return true;
  }
  std::uint32_t GetDisplayName(ShellObject allocator, ShellObject, ShellObject idList,
                               ShellDisplayName* name) override {
    EXPECT_NE(allocator, nullptr);
    if (failName) return failName;
    const FakeNode& node = nodes_[Get(idList).node];
    name->kind = node.kind;
    if (node.kind == kStrretWstr) name->wide = FromAscii(node.name);
    if (node.kind == kStrretOffset) name->offset = 2;
    return 0;
  }
  Text FromAnsi(const std::string& bytes) override { return FromAscii(bytes); }
  std::string IdListBytes(ShellObject idList) override {
    const FakeNode& node = nodes_[Get(idList).node];
    std::string bytes;
    std::size_t cb = 2 + node.name.size() + 1;
    bytes.push_back(static_cast<char>(cb & 0xFF));
    bytes.push_back(static_cast<char>(cb >> 8));
    bytes += node.name;
    bytes.push_back('\0');
    bytes.append(2, '\0');
    return bytes;
  }
  std::uint32_t GetAttributes(ShellObject, ShellObject idList, std::uint32_t* attributes) override {
    EXPECT_EQ(*attributes, kSfgaoFolder);
    if (failAttributes) return failAttributes;
    *attributes = nodes_[Get(idList).node].folder ? (kSfgaoFolder | 0x40000000u) : 0x40000000u;
    return 0;
  }
  std::uint32_t GetContextMenu(ShellObject, ShellObject, ShellObject idList, ShellObject* contextMenu) override {
    if (failContext) return failContext;
    *contextMenu = New("contextmenu", Get(idList).node);
    return 0;
  }
  std::uint32_t QueryContextMenu(ShellObject contextMenu, ShellObject menu) override {
    EXPECT_EQ(Get(contextMenu).kind, "contextmenu");
    queriedMenus.push_back(menu);
    return failQuery;
  }
  std::uint32_t InvokeCommand(ShellObject contextMenu, ShellObject, unsigned commandId, int showState) override {
    EXPECT_EQ(Get(contextMenu).kind, "contextmenu");
    if (failInvoke) return failInvoke;
    invoked.emplace_back(commandId, showState);
    return 0;
  }
  void FreeIdList(ShellObject allocator, ShellObject idList) override {
    if (!allocator || Get(allocator).refs <= 0) ++badReleases;  // freed through a dead allocator
    Drop(idList, "idlist");
  }
  void Release(ShellObject object) override {
    if (object && Get(object).kind == "idlist") ++badReleases;  // id lists go back through FreeIdList
    Drop(object, "");
  }

  std::uint32_t lastFlags = 0;

 private:
  struct Object {
    std::string kind;
    int node = 0;
    int refs = 1;
    bool empty = false;
    std::size_t cursor = 0;
  };
  ShellObject New(const std::string& kind, int node, bool empty = false) {
    std::uintptr_t id = next_++;
    Object o;
    o.kind = kind;
    o.node = node;
    o.empty = empty;
    objects_[id] = o;
    return reinterpret_cast<ShellObject>(id);
  }
  Object& Get(ShellObject object) {
    auto it = objects_.find(reinterpret_cast<std::uintptr_t>(object));
    if (it == objects_.end()) {
      ADD_FAILURE() << "unknown shell object";
      static Object dummy;
      return dummy;
    }
    return it->second;
  }
  void Drop(ShellObject object, const std::string& kind) {
    Object& o = Get(object);
    if (!kind.empty() && o.kind != kind) ++badReleases;
    if (--o.refs < 0) ++badReleases;
  }

  std::vector<FakeNode> nodes_;
  std::map<int, int> csidl_;
  std::map<std::uintptr_t, Object> objects_;
  std::uintptr_t next_ = 0x1000;
};

ShellObject Owner() { return reinterpret_cast<ShellObject>(0x77); }

TEST(ShellMenuState, KeysFollowAdditionAndRestartAfterEachReset) {
  FakeShell shell;
  {
    ShellMenuState state(shell);
    for (int round = 0; round < 2; ++round) {
      ASSERT_TRUE(state.OpenRoot(Owner(), 3));
      EXPECT_TRUE(state.active());
      EXPECT_EQ(state.lastKey(), 1);
      EXPECT_EQ(state.EnumerateChildren(1, kShcontfAll), 4u);
      EXPECT_EQ(shell.lastFlags, kShcontfAll);
      EXPECT_EQ(state.lastKey(), 5);  // children 2..5 in enumeration order
      // A second root of the same popup shares the allocator and the desktop.
      ASSERT_TRUE(state.OpenRoot(Owner(), 4));
      EXPECT_EQ(state.lastKey(), 6);
      EXPECT_EQ(state.folderCount(), 2u);  // desktop and Control Panel, each once
      state.ResetShellState();
      EXPECT_FALSE(state.active());
      EXPECT_EQ(state.lastKey(), 0);
      EXPECT_EQ(state.itemCount(), 0u);
      EXPECT_EQ(shell.Live(), 0);
    }
    EXPECT_EQ(shell.allocatorCalls, 2);  // once per popup
  }
  EXPECT_EQ(shell.badReleases, 0);
}

TEST(ShellMenuState, DescribesNamesInEveryForm) {
  FakeShell shell;
  ShellMenuState state(shell);
  ASSERT_TRUE(state.OpenRoot(Owner(), 3));
  ASSERT_EQ(state.EnumerateChildren(1, kShcontfAll), 4u);
  Text name;
  std::uint32_t attributes = 0;
  ASSERT_TRUE(state.DescribeItem(2, &name, &attributes));  // wide, 80 characters
  EXPECT_EQ(name, Text(63, u'L'));
  EXPECT_EQ(attributes & kSfgaoFolder, 0u);
  ASSERT_TRUE(state.DescribeItem(3, &name, &attributes));  // narrow
  EXPECT_EQ(name, u"<NOT SUPPORTED>");
  ASSERT_TRUE(state.DescribeItem(4, &name, &attributes));  // offset into the id list
  EXPECT_EQ(name, u"Fonts folder");
  EXPECT_NE(attributes & kSfgaoFolder, 0u);
  // An unknown kind fails, the attributes are still asked.
  EXPECT_FALSE(state.DescribeItem(5, &name, &attributes));
  EXPECT_EQ(state.error(), 13u);
  EXPECT_TRUE(name.empty());
  EXPECT_EQ(attributes, 0x40000000u);
  // An unknown key: true with an empty name.
  EXPECT_TRUE(state.DescribeItem(99, &name, &attributes));
  EXPECT_TRUE(name.empty());
  EXPECT_EQ(state.error(), 0u);
  // Failing calls: the name stays empty and the error is the call's.
  shell.failName = 0x80004005u;
  EXPECT_FALSE(state.DescribeItem(2, &name, &attributes));
  EXPECT_TRUE(name.empty());
  EXPECT_EQ(state.error(), 0x80004005u);
  shell.failName = 0;
  shell.failAttributes = 5;
  EXPECT_FALSE(state.DescribeItem(2, &name, &attributes));
  EXPECT_EQ(name, Text(63, u'L'));
  EXPECT_EQ(state.error(), 5u);
  shell.failAttributes = 0;
  shell.Rename(5, std::string(80, 'O'));  // an offset name is cut like a wide one
  ASSERT_TRUE(state.DescribeItem(4, &name, &attributes));
  EXPECT_EQ(name, Text(63, u'O'));
  state.ResetShellState();
  EXPECT_EQ(shell.Live(), 0);
  EXPECT_EQ(shell.badReleases, 0);
}

// A failed step leaves its error only until the next success, and an
// enumerator that reports an item without handing one out ends the walk.
TEST(ShellMenuState, ErrorsLastUntilTheNextSuccessAndEmptyItemsEndTheWalk) {
  FakeShell shell;
  ShellMenuState state(shell);
  EXPECT_FALSE(state.OpenRoot(Owner(), 99));  // no such folder
  EXPECT_NE(state.error(), 0u);
  ASSERT_TRUE(state.OpenRoot(Owner(), 3));
  EXPECT_EQ(state.error(), 0u);
  shell.nullChild = true;
  EXPECT_EQ(state.EnumerateChildren(1, kShcontfAll), 0u);
  EXPECT_EQ(state.itemCount(), 1u);
  state.ResetShellState();
  EXPECT_EQ(shell.Live(), 0);
  EXPECT_EQ(shell.badReleases, 0);
}

TEST(ShellMenuState, FailingRootStepsLeakNothing) {
  FakeShell shell;
  ShellMenuState state(shell);
  shell.failAllocator = 0x80004005u;
  EXPECT_FALSE(state.OpenRoot(Owner(), 3));
  EXPECT_EQ(state.error(), 0x80004005u);
  shell.failAllocator = 0;
  shell.failDesktop = 8;
  EXPECT_FALSE(state.OpenRoot(Owner(), 3));
  EXPECT_EQ(state.error(), 8u);
  EXPECT_EQ(shell.Live(), 0);  // the allocator went back
  shell.failDesktop = 0;
  EXPECT_FALSE(state.OpenRoot(Owner(), 49));  // no such special folder
  EXPECT_EQ(state.error(), 0x80070057u);
  EXPECT_FALSE(state.active());
  EXPECT_EQ(shell.Live(), 0);  // allocator and desktop went back
  // A failing second root keeps the first one and its objects.
  ASSERT_TRUE(state.OpenRoot(Owner(), 3));
  int live = shell.Live();
  EXPECT_FALSE(state.OpenRoot(Owner(), 49));
  EXPECT_TRUE(state.active());
  EXPECT_EQ(shell.Live(), live);
  EXPECT_EQ(state.lastKey(), 1);
  state.ResetShellState();
  EXPECT_EQ(shell.Live(), 0);
  EXPECT_EQ(shell.badReleases, 0);
}

TEST(ShellMenuState, FailingEnumerationAndContextStepsLeakNothing) {
  FakeShell shell;
  ShellMenuState state(shell);
  ASSERT_TRUE(state.OpenRoot(Owner(), 3));
  int live = shell.Live();
  shell.failBind = 5;
  EXPECT_EQ(state.EnumerateChildren(1, kShcontfAll), 0u);
  EXPECT_EQ(state.error(), 5u);
  shell.failBind = 0;
  shell.failEnum = 0x80004001u;  // E_NOTIMPL, as Wine's Printers folder
  EXPECT_EQ(state.EnumerateChildren(1, kShcontfAll), 0u);
  EXPECT_EQ(state.error(), 0x80004001u);
  EXPECT_EQ(shell.Live(), live);  // the bound folder went back
  shell.failEnum = 0;
  EXPECT_EQ(state.EnumerateChildren(77, kShcontfAll), 0u);  // unknown key
  EXPECT_EQ(state.error(), 0u);

  ASSERT_EQ(state.EnumerateChildren(1, kShcontfAll), 4u);
  ShellObject menu = reinterpret_cast<ShellObject>(0x55);
  shell.failContext = 0x80004002u;
  EXPECT_FALSE(state.AttachContextMenu(2, menu));
  EXPECT_EQ(state.error(), 0x80004002u);
  EXPECT_EQ(shell.Live("contextmenu"), 0);
  shell.failContext = 0;
  shell.failQuery = 0x8000FFFFu;
  EXPECT_FALSE(state.AttachContextMenu(2, menu));  // the object stays with the item
  EXPECT_EQ(shell.Live("contextmenu"), 1);
  shell.failQuery = 0;
  // Attaching again replaces the held context menu.
  EXPECT_TRUE(state.AttachContextMenu(2, menu));
  EXPECT_TRUE(state.AttachContextMenu(2, menu));
  EXPECT_EQ(shell.Live("contextmenu"), 1);
  EXPECT_EQ(shell.queriedMenus.back(), menu);
  EXPECT_TRUE(state.AttachContextMenu(42, menu));  // unknown key: nothing to do
  state.ResetShellState();
  EXPECT_EQ(shell.Live(), 0);
  EXPECT_EQ(shell.badReleases, 0);
}

TEST(ShellMenuState, InvokesOnlyHeldContextMenus) {
  FakeShell shell;
  ShellMenuState state(shell);
  ASSERT_TRUE(state.OpenRoot(Owner(), 3));
  ASSERT_EQ(state.EnumerateChildren(1, kShcontfAll), 4u);
  EXPECT_TRUE(state.InvokeContextCommand(2, 3, 1));  // no context menu yet
  EXPECT_TRUE(shell.invoked.empty());
  ASSERT_TRUE(state.AttachContextMenu(2, nullptr));
  EXPECT_TRUE(state.InvokeContextCommand(2, 0, 1));  // nothing picked
  EXPECT_TRUE(shell.invoked.empty());
  EXPECT_TRUE(state.InvokeContextCommand(2, 3, 0));
  ASSERT_EQ(shell.invoked.size(), 1u);
  EXPECT_EQ(shell.invoked[0], std::make_pair(3u, 0));
  shell.failInvoke = 1155;
  EXPECT_FALSE(state.InvokeContextCommand(2, 1, 1));
  EXPECT_EQ(state.error(), 1155u);
  EXPECT_TRUE(state.InvokeContextCommand(999, 1, 1));
}

TEST(ShellMenuState, DesktopRootBindsToTheDesktopItself) {
  FakeShell shell;
  {
    ShellMenuState state(shell);
    ASSERT_TRUE(state.OpenRoot(Owner(), 0));
    EXPECT_EQ(state.EnumerateChildren(1, kShcontfAll), 2u);
    EXPECT_EQ(state.folderCount(), 1u);  // the desktop, held once
    Text name;
    std::uint32_t attributes = 0;
    ASSERT_TRUE(state.DescribeItem(2, &name, &attributes));
    EXPECT_EQ(name, u"Control Panel");
    // The state is reset when it ends, too.
  }
  EXPECT_EQ(shell.Live(), 0);
  EXPECT_EQ(shell.badReleases, 0);
}

TEST(ShellMenuState, EndlessEnumeratorIsCutOff) {
  FakeShell shell;
  ShellMenuState state(shell);
  ASSERT_TRUE(state.OpenRoot(Owner(), 3));
  shell.endless = true;
  std::uint32_t n = state.EnumerateChildren(1, kShcontfAll);
  EXPECT_GT(n, 0u);
  EXPECT_LE(n, 10000u);
  EXPECT_EQ(state.lastKey(), static_cast<int>(n) + 1);
  state.ResetShellState();
  EXPECT_EQ(shell.Live(), 0);
}

}  // namespace
}  // namespace tvn
