#include "launcher/win/description_key.h"

#include "base/system_paths.h"
#include "base/win/unique_handle.h"
#include "base/win/wide.h"

namespace tvn {

namespace {

constexpr DWORD kKeyNameUnits = 256;  // 255 characters and the terminator
// Registry keys nest at most 512 levels deep; a deeper walk means the tree
// changes under our feet.
constexpr int kMaxDepth = 512;
// How often one key's walk meets a subkey that is gone by the time it is
// opened (someone else deletes beside us) before it gives up.
constexpr int kMaxVanished = 64;
// REG_OPTION_OPEN_LINK, which older headers lack: a key that is a link to
// another key is opened as itself, not as the key it names.
constexpr DWORD kOpenLink = 0x00000008;
constexpr REGSAM kWalkAccess = KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE;

// NtDeleteKey deletes the key of a handle, so a link opened as itself goes
// and not its target (RegDeleteKeyW opens the name again, following links).
// ntdll.dll is part of every process; it is never searched for.
class KeyDeletion {
 public:
  KeyDeletion() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr) return;
    deleteKey_ = reinterpret_cast<DeleteKey>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtDeleteKey")));
    statusToError_ =
        reinterpret_cast<StatusToError>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlNtStatusToDosError")));
  }

  // Deletes the open `key`, or `subKey` of `parent` by name where there is
  // no NtDeleteKey.
  LONG Delete(UniqueKey& key, HKEY parent, const wchar_t* subKey) const {
    if (deleteKey_ == nullptr) {
      key.reset();
      return RegDeleteKeyW(parent, subKey);
    }
    const LONG status = deleteKey_(key.get());
    if (status >= 0) return ERROR_SUCCESS;
    const ULONG error = statusToError_ != nullptr ? statusToError_(status) : 0;
    return error != 0 ? static_cast<LONG>(error) : static_cast<LONG>(ERROR_ACCESS_DENIED);
  }

 private:
  using DeleteKey = LONG(WINAPI*)(HANDLE);
  using StatusToError = ULONG(WINAPI*)(LONG);
  DeleteKey deleteKey_ = nullptr;
  StatusToError statusToError_ = nullptr;
};

// Opens `subKey` of `parent` without following a link; where the system
// does not know the option, as the system opens it.
LONG OpenOwnKey(HKEY parent, const wchar_t* subKey, REGSAM access, UniqueKey& key) {
  LONG status = RegOpenKeyExW(parent, subKey, kOpenLink, access, key.put());
  if (status == ERROR_INVALID_PARAMETER) status = RegOpenKeyExW(parent, subKey, 0, access, key.put());
  return status;
}

// Deletes `subKey` of `parent` and everything below it; RegDeleteTreeW does
// not exist before Vista. ERROR_SUCCESS, ERROR_FILE_NOT_FOUND when the key is
// not there, or the failing call's code.
LONG DeleteTree(HKEY parent, const wchar_t* subKey, int depth, const KeyDeletion& deletion) {
  if (depth > kMaxDepth) return ERROR_INVALID_PARAMETER;
  UniqueKey key;
  LONG status = OpenOwnKey(parent, subKey, kWalkAccess, key);
  if (status != ERROR_SUCCESS) return status;
  int vanished = 0;
  for (;;) {
    // Always the first subkey: each one is gone when the next round starts.
    wchar_t child[kKeyNameUnits] = {};
    DWORD length = kKeyNameUnits;
    status = RegEnumKeyExW(key.get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) return status;
    status = DeleteTree(key.get(), child, depth + 1, deletion);
    // A subkey that went meanwhile is no success of this key's: look again.
    if (status == ERROR_FILE_NOT_FOUND && ++vanished <= kMaxVanished) continue;
    if (status != ERROR_SUCCESS) return status;
  }
  return deletion.Delete(key, parent, subKey);
}

}  // namespace

bool DeleteDescriptionKey(const Text& keyName) noexcept {
  if (!IsProcessDescriptionKey(keyName)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  LONG status = DeleteTree(HKEY_CURRENT_USER, W(keyName), 0, KeyDeletion());
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
    // Gone only when it cannot be opened any more.
    UniqueKey left;
    status = OpenOwnKey(HKEY_CURRENT_USER, W(keyName), KEY_QUERY_VALUE, left);
    if (status == ERROR_SUCCESS) status = ERROR_CANTWRITE;
  }
  if (status != ERROR_FILE_NOT_FOUND) {
    SetLastError(static_cast<DWORD>(status));
    return false;
  }
  SetLastError(0);
  return true;
}

}  // namespace tvn
