#include "launching/win/start_as_user.h"

#include "launching/win/system_folder.h"

namespace tvn {

namespace {

using CreateProcessWithLogonWFn = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID,
                                                LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION);
using CreateEnvironmentBlockFn = BOOL(WINAPI*)(LPVOID*, HANDLE, BOOL);
using DestroyEnvironmentBlockFn = BOOL(WINAPI*)(LPVOID);
using GetUserProfileDirectoryWFn = BOOL(WINAPI*)(HANDLE, LPWSTR, LPDWORD);

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
const char16_t* Utf16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }
HANDLE ToHandle(AccountPlatform::Handle handle) { return reinterpret_cast<HANDLE>(handle); }

// The looked-up address as the entry point's own type.
template <typename Fn>
Fn EntryPoint(AccountPlatform::Procedure entry) {
  return reinterpret_cast<Fn>(entry);
}

}  // namespace

AccountPlatform::Module Win32AccountPlatform::LoadModule(const char16_t* name) {
  return reinterpret_cast<Module>(LoadLibraryW(Wide(name)));
}

AccountPlatform::Procedure Win32AccountPlatform::FindProcedure(Module module, const char* name) {
  return reinterpret_cast<Procedure>(::GetProcAddress(reinterpret_cast<HMODULE>(module), name));
}

void Win32AccountPlatform::ReleaseModule(Module module) { ::FreeLibrary(reinterpret_cast<HMODULE>(module)); }

bool Win32AccountPlatform::StartWithLogon(Procedure entry, const char16_t* user, const char16_t* domain,
                                          const char16_t* password, std::uint32_t logonFlags,
                                          const char16_t* application, char16_t* commandLine,
                                          std::uint32_t creationFlags, Environment environment,
                                          const char16_t* currentDirectory, ProcessHandles& started) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  // Some implementations fail without setting a code; start from 0 so that
  // such a failure is recognised instead of showing a stale code.
  SetLastError(0);
  const BOOL ok = EntryPoint<CreateProcessWithLogonWFn>(entry)(
      Wide(user), Wide(domain), Wide(password), logonFlags, Wide(application), reinterpret_cast<LPWSTR>(commandLine),
      creationFlags, reinterpret_cast<LPVOID>(environment), Wide(currentDirectory), &startup, &info);
  if (!ok) return false;
  started.process = reinterpret_cast<Handle>(info.hProcess);
  started.thread = reinterpret_cast<Handle>(info.hThread);
  started.processId = info.dwProcessId;
  return true;
}

bool Win32AccountPlatform::LogonAccount(const char16_t* user, const char16_t* domain, const char16_t* password,
                                        std::uint32_t logonType, std::uint32_t provider, Handle& token) {
  HANDLE handle = nullptr;
  SetLastError(0);
  if (!LogonUserW(Wide(user), Wide(domain), Wide(password), logonType, provider, &handle)) return false;
  token = reinterpret_cast<Handle>(handle);
  return true;
}

bool Win32AccountPlatform::CreateEnvironment(Procedure entry, Environment& environment, Handle token, bool inherit) {
  LPVOID block = nullptr;
  SetLastError(0);
  if (!EntryPoint<CreateEnvironmentBlockFn>(entry)(&block, ToHandle(token), inherit ? TRUE : FALSE)) return false;
  environment = reinterpret_cast<Environment>(block);
  return true;
}

bool Win32AccountPlatform::DestroyEnvironment(Procedure entry, Environment environment) {
  return EntryPoint<DestroyEnvironmentBlockFn>(entry)(reinterpret_cast<LPVOID>(environment)) != FALSE;
}

bool Win32AccountPlatform::ReadProfileDirectory(Procedure entry, Handle token, char16_t* directory,
                                                std::uint32_t& size) {
  DWORD units = size;
  const BOOL ok =
      EntryPoint<GetUserProfileDirectoryWFn>(entry)(ToHandle(token), reinterpret_cast<LPWSTR>(directory), &units);
  size = units;
  return ok != FALSE;
}

void Win32AccountPlatform::CloseKernelHandle(Handle handle) { ::CloseHandle(ToHandle(handle)); }

std::uint32_t Win32AccountPlatform::LastError() { return GetLastError(); }

bool StartAsUser(const wchar_t* application, const wchar_t* commandLine, bool loadProfile, const wchar_t* domain,
                 const wchar_t* user, const wchar_t* password, DWORD* processId, HANDLE* process) noexcept {
  if (processId != nullptr) *processId = 0;
  if (process != nullptr) *process = nullptr;
  const Text systemFolder = SystemFolder();
  if (systemFolder.empty()) return false;  // SystemFolder's code is the last error
  Win32AccountPlatform platform;
  std::uint32_t code = 0;
  std::uint32_t startedId = 0;
  AccountPlatform::Handle startedProcess = 0;
  const bool started =
      StartAsUser(platform, systemFolder.c_str(), Utf16(application), Utf16(commandLine), loadProfile, Utf16(domain),
                  Utf16(user), Utf16(password), code, &startedId, process != nullptr ? &startedProcess : nullptr);
  if (processId != nullptr) *processId = startedId;
  if (process != nullptr) *process = ToHandle(startedProcess);
  SetLastError(code);
  return started;
}

}  // namespace tvn
