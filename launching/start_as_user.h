// Starting a program under another account from typed credentials.
//
// The step order and the release order live here, platform-free; the
// platform calls go through AccountPlatform (launching/win/start_as_user.cpp
// binds it to the system libraries, the tests to a recording fake).
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/error_text.h"
#include "base/text.h"

namespace tvn {

// Overwrites `bytes` bytes at `data` with zeros in a way the compiler may not
// drop because the memory is about to be freed.
void SecureWipe(void* data, std::size_t bytes) noexcept;

// A fixed heap buffer of UTF-16 units for a secret (a typed password), zero
// filled at creation and wiped before it is freed, on every path.
class SecretBuffer {
 public:
  explicit SecretBuffer(std::size_t units);
  ~SecretBuffer();
  SecretBuffer(const SecretBuffer&) = delete;
  SecretBuffer& operator=(const SecretBuffer&) = delete;

  char16_t* data() noexcept { return data_; }
  std::size_t units() const noexcept { return units_; }
  // Zeroes the whole buffer now.
  void Wipe() noexcept;

 private:
  char16_t* data_;
  std::size_t units_;
};

class AccountPlatform {
 public:
  using Module = std::uintptr_t;       // 0: none
  using Procedure = std::uintptr_t;    // 0: none
  using Handle = std::uintptr_t;       // kernel handle; 0: none
  using Environment = std::uintptr_t;  // environment block; 0: none

  static constexpr Handle kInvalidHandle = ~static_cast<Handle>(0);  // INVALID_HANDLE_VALUE

  struct ProcessHandles {
    Handle process = 0;
    Handle thread = 0;
    std::uint32_t processId = 0;  // the started process's identifier
  };

  virtual ~AccountPlatform() = default;

  // Each failing call leaves its error code for LastError().
  virtual Module LoadModule(const char16_t* name) = 0;                   // LoadLibraryW; 0 on failure
  virtual Procedure FindProcedure(Module module, const char* name) = 0;  // GetProcAddress; 0 on failure
  virtual void ReleaseModule(Module module) = 0;                         // FreeLibrary
  // CreateProcessWithLogonW through the looked-up entry point, with a
  // start-up record of zeros but its size and a zeroed process record.
  virtual bool StartWithLogon(Procedure entry, const char16_t* user, const char16_t* domain, const char16_t* password,
                              std::uint32_t logonFlags, const char16_t* application, char16_t* commandLine,
                              std::uint32_t creationFlags, Environment environment, const char16_t* currentDirectory,
                              ProcessHandles& started) = 0;
  // LogonUserW.
  virtual bool LogonAccount(const char16_t* user, const char16_t* domain, const char16_t* password,
                            std::uint32_t logonType, std::uint32_t provider, Handle& token) = 0;
  // CreateEnvironmentBlock and DestroyEnvironmentBlock through their entry points.
  virtual bool CreateEnvironment(Procedure entry, Environment& environment, Handle token, bool inherit) = 0;
  virtual bool DestroyEnvironment(Procedure entry, Environment environment) = 0;
  // GetUserProfileDirectoryW through its entry point; `size` holds the
  // buffer's capacity in units on entry.
  virtual bool ReadProfileDirectory(Procedure entry, Handle token, char16_t* directory, std::uint32_t& size) = 0;
  virtual void CloseKernelHandle(Handle handle) = 0;  // CloseHandle
  virtual std::uint32_t LastError() = 0;
};

constexpr std::uint32_t kLogonWithProfile = 1;              // LOGON_WITH_PROFILE
constexpr std::uint32_t kCreateUnicodeEnvironment = 0x400;  // CREATE_UNICODE_ENVIRONMENT
constexpr std::uint32_t kLogonInteractive = 2;              // LOGON32_LOGON_INTERACTIVE
constexpr std::uint32_t kLogonProviderDefault = 0;          // LOGON32_PROVIDER_DEFAULT
constexpr std::size_t kProfileDirectoryUnits = 1024;

// Starts `application` with `commandLine` under the account `user` of
// `domain`. With `loadProfile` the account's profile is loaded: a separate
// log-on builds the account's environment block and the process starts in the
// profile directory. Without it the process starts in `systemFolder`, and so
// does a profiled start whose profile directory cannot be read: the new
// process never inherits the caller's directory, which a limited user may be
// able to write. The libraries advapi32.dll and Userenv.dll are loaded by
// their full path in `systemFolder`, never by a bare name that the caller's
// folders could answer. Every text is terminated; a null pointer counts as the
// empty text. Does not wait for the process and closes its handles.
// True with `lastError` 0, or false with the failing step's code; every path
// releases what it acquired, in reverse order. An empty or over-long
// `systemFolder` fails before anything is loaded (ERROR_PATH_NOT_FOUND). The
// password is only read in place; the profile directory buffer is wiped
// before it is freed. `processId`, when given, receives the started process's
// identifier, or 0 when nothing was started. `process`, when given, receives
// the started process's handle, which the caller then closes (0 when nothing
// was started); without it the handle is closed here. The handle is the one
// way to wait for a process of another account, which this account may not
// be allowed to open.
[[nodiscard]] bool StartAsUser(AccountPlatform& platform, const char16_t* systemFolder, const char16_t* application,
                               const char16_t* commandLine, bool loadProfile, const char16_t* domain,
                               const char16_t* user, const char16_t* password, std::uint32_t& lastError,
                               std::uint32_t* processId = nullptr, AccountPlatform::Handle* process = nullptr);

}  // namespace tvn
