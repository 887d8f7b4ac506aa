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

// Deletes `subKey` of `parent` and everything below it; RegDeleteTreeW does
// not exist before Vista. ERROR_SUCCESS, ERROR_FILE_NOT_FOUND when the key is
// not there, or the failing call's code.
LONG DeleteTree(HKEY parent, const wchar_t* subKey, int depth) {
  if (depth > kMaxDepth) return ERROR_INVALID_PARAMETER;
  UniqueKey key;
  LONG status = RegOpenKeyExW(parent, subKey, 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE, key.put());
  if (status != ERROR_SUCCESS) return status;
  for (;;) {
    // Always the first subkey: each one is gone when the next round starts.
    wchar_t child[kKeyNameUnits] = {};
    DWORD length = kKeyNameUnits;
    status = RegEnumKeyExW(key.get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) return status;
    status = DeleteTree(key.get(), child, depth + 1);
    if (status != ERROR_SUCCESS) return status;
  }
  key.reset();
  return RegDeleteKeyW(parent, subKey);
}

}  // namespace

bool DeleteDescriptionKey(const Text& keyName) noexcept {
  if (!IsProcessDescriptionKey(keyName)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const LONG status = DeleteTree(HKEY_CURRENT_USER, W(keyName), 0);
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
    SetLastError(static_cast<DWORD>(status));
    return false;
  }
  SetLastError(0);
  return true;
}

}  // namespace tvn
