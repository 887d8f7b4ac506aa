// Deleting a description key that a dead process left under the identifier
// of a new one: the whole key with its values and subkeys goes, and nothing
// outside it, not even what a registry link in it names.
#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "base/win/unique_handle.h"
#include "base/win/wide.h"
#include "launcher/win/description_key.h"
#include "tests/wine/support/registry.h"

namespace tvn {
namespace {

bool KeyExists(const std::wstring& path) { return tvn_test::KeyExists(HKEY_CURRENT_USER, path); }

void SetValue(const std::wstring& path, const wchar_t* name, const wchar_t* value) {
  UniqueKey key;
  ASSERT_EQ(
      RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
      ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                           static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

// An identifier of this test process that no real process description uses
// at the same time: far above the process identifiers Wine hands out.
std::wstring TestId(int n) { return std::to_wstring(3900000000u + GetCurrentProcessId() % 10000 * 10 + n); }

TEST(DescriptionKey, ALeftoverKeyGoesWithItsValuesAndSubkeysAndNothingElse) {
  const std::wstring id = TestId(1);
  const std::wstring key = L"Software\\TVN\\" + id;
  const std::wstring sibling = key + L"0";  // the same digits and one more: another process's key
  SetValue(key, L"0.10#3", L"stale password");
  SetValue(key, L"1.2#20", L"40");
  SetValue(key + L"\\extra", L"x", L"1");
  SetValue(key + L"\\extra\\deeper\\deepest", L"", L"2");
  SetValue(key + L"\\second", L"y", L"3");
  SetValue(sibling, L"keep", L"me");

  SetLastError(0xdeadbeef);
  ASSERT_TRUE(DeleteDescriptionKey(FromAscii("Software\\TVN\\") + ToText(id.c_str())));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_FALSE(KeyExists(key));
  EXPECT_TRUE(KeyExists(sibling));
  EXPECT_TRUE(KeyExists(L"Software\\TVN"));
  RegDeleteKeyW(HKEY_CURRENT_USER, sibling.c_str());

  // Nothing left to delete is no failure.
  SetLastError(0xdeadbeef);
  EXPECT_TRUE(DeleteDescriptionKey(FromAscii("Software\\TVN\\") + ToText(id.c_str())));
  EXPECT_EQ(GetLastError(), 0u);
}

// The registry's own name of HKEY_CURRENT_USER\<path>: "\Registry\User\<SID>\<path>".
std::wstring NativeUserPath(const std::wstring& path) {
  UniqueHandleKernel token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return L"";
  BYTE buffer[256];
  DWORD size = 0;
  if (!GetTokenInformation(token.get(), TokenUser, buffer, sizeof(buffer), &size)) return L"";
  wchar_t* sid = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) return L"";
  const UniqueLocal owned(sid);
  return std::wstring(L"\\Registry\\User\\") + sid + L"\\" + path;
}

TEST(DescriptionKey, ALinkInTheKeyGoesAsALinkAndWhatItNamesStays) {
  const std::wstring key = L"Software\\TVN\\" + TestId(3);
  tvn_test::ScratchKey target("link target");
  ASSERT_EQ(target.Set("keep", "me"), ERROR_SUCCESS);
  const std::wstring targetPath(reinterpret_cast<const wchar_t*>(target.subKey().c_str()));
  SetValue(targetPath + L"\\child", L"c", L"1");
  SetValue(key, L"v", L"1");
  {
    UniqueKey link;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, (key + L"\\link").c_str(), 0, nullptr,
                        REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, link.put(), nullptr),
        ERROR_SUCCESS);
    const std::wstring native = NativeUserPath(targetPath);
    ASSERT_FALSE(native.empty());
    ASSERT_EQ(
        RegSetValueExW(link.get(), L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(native.c_str()),
                       static_cast<DWORD>(native.size() * sizeof(wchar_t))),
        ERROR_SUCCESS);
  }
  ASSERT_TRUE(KeyExists(key + L"\\link\\child")) << "the link does not lead to its target; the test proves nothing";

  SetLastError(0xdeadbeef);
  ASSERT_TRUE(DeleteDescriptionKey(FromAscii("Software\\TVN\\") + ToText(TestId(3).c_str()))) << GetLastError();
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_FALSE(KeyExists(key));
  EXPECT_TRUE(KeyExists(targetPath + L"\\child")) << "the walk went through the link";
}

TEST(DescriptionKey, OnlyAProcessKeyIsEverTouched) {
  const std::wstring id = TestId(2);
  SetValue(L"Software\\TVN\\" + id, L"v", L"1");
  // An identifier that formatted to nothing names the parent key, and a name
  // that walks elsewhere names another key: both are refused.
  for (const char* name : {"Software\\TVN\\", "Software\\TVN", "Software", "", "Software\\TVN\\..\\TVN"}) {
    SetLastError(0);
    EXPECT_FALSE(DeleteDescriptionKey(FromAscii(name))) << name;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << name;
  }
  EXPECT_TRUE(KeyExists(L"Software\\TVN\\" + id));
  EXPECT_TRUE(DeleteDescriptionKey(FromAscii("Software\\TVN\\") + ToText(id.c_str())));
  EXPECT_FALSE(KeyExists(L"Software\\TVN\\" + id));
}

}  // namespace
}  // namespace tvn
