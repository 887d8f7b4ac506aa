// Registry keys of the Windows-side tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/text.h"
#include "base/win/unique_handle.h"

namespace tvn_test {

// A description key of one test, HKCU\Software\TVN\<prefix>-<pid>-<n>,
// created at once and deleted with everything below it at the end. The Set
// calls return the registry's status (ERROR_SUCCESS: written).
class ScratchKey {
 public:
  explicit ScratchKey(const char* prefix);
  ~ScratchKey();
  ScratchKey(const ScratchKey&) = delete;
  ScratchKey& operator=(const ScratchKey&) = delete;

  bool valid() const { return static_cast<bool>(key_); }
  HKEY get() const { return key_.get(); }
  // "Software\TVN\<prefix>-<pid>-<n>", below HKEY_CURRENT_USER.
  const tvn::Text& subKey() const { return subKey_; }

  // A REG_SZ value with its terminator.
  LONG Set(const char* name, const tvn::Text& value);
  LONG Set(const char* name, const char* utf8);
  LONG SetDword(const char* name, DWORD value);
  // A REG_SZ value with exactly these bytes.
  LONG SetBytes(const tvn::Text& name, const std::vector<std::uint8_t>& bytes);

 private:
  tvn::Text subKey_;
  tvn::UniqueKey key_;
};

bool KeyExists(HKEY root, const std::wstring& path);

}  // namespace tvn_test
