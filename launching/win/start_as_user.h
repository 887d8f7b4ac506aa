// StartAsUser on the real platform: CreateProcessWithLogonW from
// advapi32.dll and the user-environment calls from Userenv.dll, both loaded
// by their full path in the system folder and looked up at run time, and
// LogonUserW.
#pragma once

#include <windows.h>

#include "launching/start_as_user.h"

namespace tvn {

class Win32AccountPlatform final : public AccountPlatform {
 public:
  Module LoadModule(const char16_t* name) override;
  Procedure FindProcedure(Module module, const char* name) override;
  void ReleaseModule(Module module) override;
  bool StartWithLogon(Procedure entry, const char16_t* user, const char16_t* domain, const char16_t* password,
                      std::uint32_t logonFlags, const char16_t* application, char16_t* commandLine,
                      std::uint32_t creationFlags, Environment environment, const char16_t* currentDirectory,
                      ProcessHandles& started) override;
  bool LogonAccount(const char16_t* user, const char16_t* domain, const char16_t* password, std::uint32_t logonType,
                    std::uint32_t provider, Handle& token) override;
  bool CreateEnvironment(Procedure entry, Environment& environment, Handle token, bool inherit) override;
  bool DestroyEnvironment(Procedure entry, Environment environment) override;
  bool ReadProfileDirectory(Procedure entry, Handle token, char16_t* directory, std::uint32_t& size) override;
  void CloseKernelHandle(Handle handle) override;
  std::uint32_t LastError() override;
};

// StartAsUser on the platform with the system folder (GetSystemDirectoryW);
// true with the thread's last error 0, or false with the failing step's code
// as the last error. `processId`, when given, receives the started process's
// identifier (0 when nothing was started), and `process` its handle, which
// the caller owns then (null when nothing was started).
[[nodiscard]] bool StartAsUser(const wchar_t* application, const wchar_t* commandLine, bool loadProfile,
                               const wchar_t* domain, const wchar_t* user, const wchar_t* password,
                               DWORD* processId = nullptr, HANDLE* process = nullptr) noexcept;

}  // namespace tvn
