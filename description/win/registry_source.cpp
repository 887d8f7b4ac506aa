#include "description/win/registry_source.h"

#include "base/win/wide.h"

namespace tvn {

std::uint32_t RegistrySource::OpenKey(TextView subKey) {
  CloseKey();
  Text name(subKey);
  HKEY key = nullptr;
  LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, W(name), 0, KEY_READ, &key);
  if (status != ERROR_SUCCESS) return static_cast<std::uint32_t>(status);
  key_.reset(key);
  return ERROR_SUCCESS;
}

std::uint32_t RegistrySource::QueryValue(TextView name, std::uint8_t* buffer, std::size_t capacity,
                                         std::size_t& bytes) {
  bytes = 0;
  if (!key_) return ERROR_INVALID_HANDLE;
  Text valueName(name);
  DWORD type = REG_NONE;
  DWORD size = static_cast<DWORD>(capacity);
  LONG status = RegQueryValueExW(key_.get(), W(valueName), nullptr, &type, buffer, &size);
  if (status != ERROR_SUCCESS) return static_cast<std::uint32_t>(status);
  if (type != REG_SZ) return ERROR_UNSUPPORTED_TYPE;
  bytes = size;
  return ERROR_SUCCESS;
}

std::uint32_t RegistrySource::CloseKey() {
  if (!key_) return ERROR_SUCCESS;
  return static_cast<std::uint32_t>(RegCloseKey(key_.release()));
}

}  // namespace tvn
