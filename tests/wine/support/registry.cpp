#include "tests/wine/support/registry.h"

#include "base/win/wide.h"

namespace tvn_test {

ScratchKey::ScratchKey(const char* prefix) {
  static int counter = 0;
  subKey_ = tvn::FromAscii(std::string("Software\\TVN\\") + prefix + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(++counter));
  RegCreateKeyExW(HKEY_CURRENT_USER, tvn::W(subKey_), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key_.put(), nullptr);
}

ScratchKey::~ScratchKey() {
  key_.reset();
  RegDeleteTreeW(HKEY_CURRENT_USER, tvn::W(subKey_));
  RegDeleteKeyW(HKEY_CURRENT_USER, tvn::W(subKey_));
}

LONG ScratchKey::Set(const char* name, const tvn::Text& value) {
  const tvn::Text wideName = tvn::FromAscii(name);
  return RegSetValueExW(key_.get(), tvn::W(wideName), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(char16_t)));
}

LONG ScratchKey::Set(const char* name, const char* utf8) { return Set(name, tvn::FromUtf8(utf8)); }

LONG ScratchKey::SetDword(const char* name, DWORD value) {
  const tvn::Text wideName = tvn::FromAscii(name);
  return RegSetValueExW(key_.get(), tvn::W(wideName), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                        sizeof(value));
}

LONG ScratchKey::SetBytes(const tvn::Text& name, const std::vector<std::uint8_t>& bytes) {
  return RegSetValueExW(key_.get(), tvn::W(name), 0, REG_SZ, bytes.data(), static_cast<DWORD>(bytes.size()));
}

bool KeyExists(HKEY root, const std::wstring& path) {
  tvn::UniqueKey key;
  return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

}  // namespace tvn_test
