// The command menus of the command dialog's rows: the static popups built
// from the description, and the bookkeeping of the live shell-folder popups.
//
// The shell itself sits behind ShellPlatform, so that the key bookkeeping and
// the ownership of every shell object can be checked without a shell.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/text.h"
#include "description/records.h"

namespace tvn {

// Menu types of a row (attribute 5).
constexpr std::uint16_t kMenuTypeStatic = 1;
constexpr std::uint16_t kMenuTypeShell = 2;

// Id of every shell item in a popup; its item data is the item's key.
constexpr unsigned kShellItemCommandId = 5000;

// Names of shell items hold at most this many characters.
constexpr std::size_t kShellNameChars = 63;

// What a row's menu opens. kNothing when the menu number, taken as unsigned,
// is not below the MenuSet's count (negative numbers included), when the
// type is 0, or when the type is neither 1 nor 2.
enum class RowMenuKind { kNothing, kStatic, kShell };
RowMenuKind ClassifyRowMenu(const MenuSet& menus, std::int16_t menuNumber, std::uint16_t menuType);

// The menu that a row opens, or null when ClassifyRowMenu gives kNothing.
const MenuDescription* RowMenu(const MenuSet& menus, std::int16_t menuNumber, std::uint16_t menuType);

// The entries of a menu that exist both by count and in the array.
std::size_t MenuEntryCount(const MenuDescription& menu);

struct StaticPopupItem {
  unsigned id = 0;         // entry n (from 0) has id n + 1
  bool separator = false;  // an empty title makes a separator
  Text title;
};

// The items of a static popup from top to bottom: every entry is put on top
// of those before it, so the last entry comes first.
std::vector<StaticPopupItem> StaticPopupItems(const MenuDescription& menu);

// The command that a picked id of a static popup runs (entry id - 1, cut to
// 2047 characters); null when the id names no entry.
const Text* StaticPopupCommand(const MenuDescription& menu, unsigned pickedId);

// The special folder that a shell-folder entry names: its command read as a
// decimal integer; empty or non-numeric text gives 0, the desktop.
int ShellEntryCsidl(const MenuEntry& entry);

// --- Shell names ---------------------------------------------------------

// Kinds of STRRET.
constexpr std::uint32_t kStrretWstr = 0;
constexpr std::uint32_t kStrretOffset = 1;
constexpr std::uint32_t kStrretCstr = 2;

// The text that a shell name in the CSTR form shows.
const Text& NotSupportedName();

// The size in bytes of an item id list, its terminating zero count included:
// the sum of the items' counts up to the first count of 0. `limit` bounds the
// walk (a list that does not end within it measures `limit`).
std::size_t IdListSize(const unsigned char* idList, std::size_t limit = 65536);

// The narrow text that a STRRET_OFFSET name points at: the bytes from `offset`
// inside the id list up to the first zero byte or the end of the list. An
// offset at or beyond the end gives the empty text. The caller converts the
// bytes from the ANSI code page and cuts the result to 63 characters.
std::string OffsetNameBytes(const unsigned char* idList, std::size_t idListSize, std::uint32_t offset);

// --- Shell menu state ----------------------------------------------------

// Opaque shell objects as the platform hands them out: folders, item id
// lists, enumerators, context menus, the allocator; also window and menu
// handles. Null means none.
using ShellObject = void*;

// A display name as GetDisplayNameOf returned it, already copied out.
struct ShellDisplayName {
  std::uint32_t kind = kStrretWstr;
  Text wide;                 // kStrretWstr: the text (the platform freed its copy)
  std::uint32_t offset = 0;  // kStrretOffset: where the narrow text lies in the id list
};

// The shell calls that the state makes. Every call returns 0 on success or
// the error code to report. Every object handed out through an out-parameter
// belongs to the caller, who gives it back exactly once through Release or
// FreeIdList.
class ShellPlatform {
 public:
  virtual ~ShellPlatform() = default;
  virtual std::uint32_t GetAllocator(ShellObject* allocator) = 0;   // SHGetMalloc
  virtual std::uint32_t GetDesktopFolder(ShellObject* folder) = 0;  // SHGetDesktopFolder
  virtual std::uint32_t GetSpecialFolder(ShellObject owner, int csidl, ShellObject* idList) = 0;
  // parent->BindToObject(idList, IID_IShellFolder); an empty id list names the parent itself.
  virtual std::uint32_t BindToFolder(ShellObject parent, ShellObject idList, ShellObject* folder) = 0;
  virtual std::uint32_t EnumObjects(ShellObject folder, ShellObject owner, std::uint32_t flags,
                                    ShellObject* enumerator) = 0;
  // One item; false when the enumerator returns anything but S_OK.
  virtual bool Next(ShellObject enumerator, ShellObject* idList) = 0;
  virtual std::uint32_t GetDisplayName(ShellObject allocator, ShellObject parent, ShellObject idList,
                                       ShellDisplayName* name) = 0;
  // Narrow bytes of a STRRET_OFFSET name converted from the ANSI code page.
  virtual Text FromAnsi(const std::string& bytes) = 0;
  // The bytes of an id list, to decode STRRET_OFFSET names.
  virtual std::string IdListBytes(ShellObject idList) = 0;
  virtual std::uint32_t GetAttributes(ShellObject parent, ShellObject idList, std::uint32_t* attributes) = 0;
  virtual std::uint32_t GetContextMenu(ShellObject parent, ShellObject owner, ShellObject idList,
                                       ShellObject* contextMenu) = 0;
  virtual std::uint32_t QueryContextMenu(ShellObject contextMenu, ShellObject menu) = 0;
  virtual std::uint32_t InvokeCommand(ShellObject contextMenu, ShellObject owner, unsigned commandId,
                                      int showState) = 0;
  virtual void FreeIdList(ShellObject allocator, ShellObject idList) = 0;
  virtual void Release(ShellObject object) = 0;  // folders, enumerators, context menus, the allocator
};

constexpr std::uint32_t kSfgaoFolder = 0x20000000;
constexpr std::uint32_t kShcontfAll = 0xE0;  // folders, non-folders, hidden items

// The shell objects of one popup, addressed by keys 1, 2, ... in the order
// in which they were added. Active from the first successful OpenRoot until
// ResetShellState; no object outlives the reset.
class ShellMenuState {
 public:
  explicit ShellMenuState(ShellPlatform& platform) : platform_(platform) {}
  ~ShellMenuState() { ResetShellState(); }
  ShellMenuState(const ShellMenuState&) = delete;
  ShellMenuState& operator=(const ShellMenuState&) = delete;

  bool active() const { return active_; }
  int lastKey() const { return lastKey_; }
  // The error of the last failing step, 0 after a success.
  std::uint32_t error() const { return error_; }
  std::size_t itemCount() const { return items_.size(); }
  std::size_t folderCount() const { return folders_.size(); }

  // Opens a special folder as a root item; lastKey() is then its key.
  bool OpenRoot(ShellObject owner, int csidl);
  // Records an item (taking over the id list; the folder joins the folder
  // list, held once) and returns its key.
  int AddItem(ShellObject idList, ShellObject folder);
  // Adds the children of a folder item; returns their number (0 with the
  // error, or 0 with error 0 for a folder without children).
  std::uint32_t EnumerateChildren(int key, std::uint32_t flags);
  // The item's name (at most 63 characters) and SFGAO_FOLDER attribute. An
  // unknown key gives true with an empty name.
  bool DescribeItem(int key, Text* name, std::uint32_t* attributes);
  // Fills `menu` with the item's context menu (ids 1 to 0x7FFF).
  bool AttachContextMenu(int key, ShellObject menu);
  // Runs a command of the item's context menu (the id as the popup returned it).
  bool InvokeContextCommand(int key, unsigned commandId, int showState);
  void ResetShellState();

 private:
  struct ShellItem {
    int key = 0;
    ShellObject parent = nullptr;
    ShellObject idList = nullptr;
    ShellObject contextMenu = nullptr;
  };
  ShellItem* Find(int key);
  void HoldFolder(ShellObject folder);
  bool Fail(std::uint32_t error) {
    error_ = error;
    return false;
  }

  ShellPlatform& platform_;
  ShellObject owner_ = nullptr;
  ShellObject allocator_ = nullptr;
  ShellObject desktop_ = nullptr;
  std::vector<ShellObject> folders_;  // most recent first
  std::vector<ShellItem> items_;      // most recent first
  int lastKey_ = 0;
  bool active_ = false;
  std::uint32_t error_ = 0;
};

}  // namespace tvn
