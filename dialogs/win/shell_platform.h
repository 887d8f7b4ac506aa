// The shell of the system behind the ShellPlatform calls of the command
// menus: the allocator, the desktop and special folders, item id lists,
// enumerators and the items' context menus.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "dialogs/menu_model.h"

namespace tvn {

// Context-menu commands of a shell item take the ids from 1 to 0x7FFF.
constexpr UINT kFirstContextId = 1;
constexpr UINT kLastContextId = 0x7FFF;

class Win32ShellPlatform final : public ShellPlatform {
 public:
  std::uint32_t GetAllocator(ShellObject* allocator) override;
  std::uint32_t GetDesktopFolder(ShellObject* folder) override;
  std::uint32_t GetSpecialFolder(ShellObject owner, int csidl, ShellObject* idList) override;
  std::uint32_t BindToFolder(ShellObject parent, ShellObject idList, ShellObject* folder) override;
  std::uint32_t EnumObjects(ShellObject folder, ShellObject owner, std::uint32_t flags,
                            ShellObject* enumerator) override;
  bool Next(ShellObject enumerator, ShellObject* idList) override;
  std::uint32_t GetDisplayName(ShellObject allocator, ShellObject parent, ShellObject idList,
                               ShellDisplayName* name) override;
  Text FromAnsi(const std::string& bytes) override;
  std::string IdListBytes(ShellObject idList) override;
  std::uint32_t GetAttributes(ShellObject parent, ShellObject idList, std::uint32_t* attributes) override;
  std::uint32_t GetContextMenu(ShellObject parent, ShellObject owner, ShellObject idList,
                               ShellObject* contextMenu) override;
  std::uint32_t QueryContextMenu(ShellObject contextMenu, ShellObject menu) override;
  std::uint32_t InvokeCommand(ShellObject contextMenu, ShellObject owner, unsigned commandId, int showState) override;
  void FreeIdList(ShellObject allocator, ShellObject idList) override;
  void Release(ShellObject object) override;
};

}  // namespace tvn
