// The registry as a DescriptionSource: HKEY_CURRENT_USER\<sub-key>, read only.
#pragma once

#include <windows.h>

#include "base/win/unique_handle.h"
#include "description/reader.h"

namespace tvn {

class RegistrySource : public DescriptionSource {
 public:
  // RegOpenKeyExW(HKEY_CURRENT_USER, subKey, 0, KEY_READ); an open key is
  // closed first.
  std::uint32_t OpenKey(TextView subKey) override;
  // RegQueryValueExW into the caller's buffer. The description writes every
  // value as REG_SZ; data of any other type reads as missing
  // (ERROR_UNSUPPORTED_TYPE), so a number or binary value is never taken for text.
  std::uint32_t QueryValue(TextView name, std::uint8_t* buffer, std::size_t capacity, std::size_t& bytes) override;
  // RegCloseKey; 0 when no key is open.
  std::uint32_t CloseKey() override;

 private:
  UniqueKey key_;
};

}  // namespace tvn
