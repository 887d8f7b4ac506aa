#include "launching/start_as_user.h"

#include <initializer_list>
#include <vector>

#include "base/scope_guard.h"
#include "base/system_paths.h"

namespace tvn {

void SecureWipe(void* data, std::size_t bytes) noexcept {
  volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
  for (std::size_t i = 0; i < bytes; ++i) p[i] = 0;
}

SecretBuffer::SecretBuffer(std::size_t units) : data_(new char16_t[units == 0 ? 1 : units]()), units_(units) {}

SecretBuffer::~SecretBuffer() {
  Wipe();
  delete[] data_;
}

void SecretBuffer::Wipe() noexcept { SecureWipe(data_, (units_ == 0 ? 1 : units_) * sizeof(char16_t)); }

namespace {

const char16_t* OrEmpty(const char16_t* text) { return text ? text : u""; }

// The code of the step that just failed, never 0.
std::uint32_t FailureCode(AccountPlatform& platform) {
  const std::uint32_t code = platform.LastError();
  return code != 0 ? code : kUnreportedFailure;
}

bool IsHandle(AccountPlatform::Handle handle) { return handle != 0 && handle != AccountPlatform::kInvalidHandle; }

// Closes the started process's handles, or hands the process handle to
// `process` when the caller asked for it.
void CloseStarted(AccountPlatform& platform, const AccountPlatform::ProcessHandles& started,
                  AccountPlatform::Handle* process) {
  if (process != nullptr && IsHandle(started.process)) {
    *process = started.process;
  } else if (IsHandle(started.process)) {
    platform.CloseKernelHandle(started.process);
  }
  if (IsHandle(started.thread)) platform.CloseKernelHandle(started.thread);
}

// The start with the account's profile and environment, between the loading
// and the release of advapi32: Userenv.dll, the account's token, its
// environment block, then the process in the profile folder. What was taken
// is given back in reverse order on every way out. Returns the remembered
// code (0 when nothing failed); the started process's identifier goes to
// `processId`, its handle to `process` when that is given.
std::uint32_t StartWithProfile(AccountPlatform& platform, const Text& systemFolder,
                               AccountPlatform::Procedure createWithLogon, const char16_t* application,
                               char16_t* commandLine, const char16_t* domain, const char16_t* user,
                               const char16_t* password, std::uint32_t& processId, AccountPlatform::Handle* process) {
  const Text userenvPath = PathInFolder(systemFolder, u"Userenv.dll");
  const AccountPlatform::Module userenv = platform.LoadModule(userenvPath.c_str());
  if (userenv == 0) return FailureCode(platform);
  const auto releaseUserenv = MakeScopeGuard([&] { platform.ReleaseModule(userenv); });

  const char* const names[3] = {"CreateEnvironmentBlock", "DestroyEnvironmentBlock", "GetUserProfileDirectoryW"};
  AccountPlatform::Procedure entries[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    entries[i] = platform.FindProcedure(userenv, names[i]);
    if (entries[i] == 0) return FailureCode(platform);
  }

  AccountPlatform::Handle token = 0;
  if (!platform.LogonAccount(user, domain, password, kLogonInteractive, kLogonProviderDefault, token)) {
    return FailureCode(platform);
  }
  const auto closeToken = MakeScopeGuard([&] { platform.CloseKernelHandle(token); });

  AccountPlatform::Environment environment = 0;
  if (!platform.CreateEnvironment(entries[0], environment, token, false)) return FailureCode(platform);
  const auto destroyEnvironment = MakeScopeGuard([&] { platform.DestroyEnvironment(entries[1], environment); });

  // Its result is not examined: a directory that cannot be read stays empty.
  SecretBuffer directory(kProfileDirectoryUnits);
  std::uint32_t size = static_cast<std::uint32_t>(kProfileDirectoryUnits);
  if (!platform.ReadProfileDirectory(entries[2], token, directory.data(), size)) directory.Wipe();
  directory.data()[kProfileDirectoryUnits - 1] = u'\0';
  // A profile directory that could not be read would leave the new process
  // without a directory of its own; the system folder stands in for it.
  const char16_t* currentDirectory = directory.data()[0] != u'\0' ? directory.data() : systemFolder.c_str();

  AccountPlatform::ProcessHandles started;
  if (!platform.StartWithLogon(createWithLogon, user, domain, password, kLogonWithProfile, application, commandLine,
                               kCreateUnicodeEnvironment, environment, currentDirectory, started)) {
    return FailureCode(platform);
  }
  processId = started.processId;
  CloseStarted(platform, started, process);
  return 0;
}  // the directory buffer is released first, then the environment, the token and Userenv.dll

}  // namespace

bool StartAsUser(AccountPlatform& platform, const char16_t* systemFolder, const char16_t* application,
                 const char16_t* commandLine, bool loadProfile, const char16_t* domain, const char16_t* user,
                 const char16_t* password, std::uint32_t& lastError, std::uint32_t* processId,
                 AccountPlatform::Handle* process) {
  if (processId != nullptr) *processId = 0;
  if (process != nullptr) *process = 0;
  // Nothing is loaded unless the libraries can be named by full path (the
  // longer name decides: Userenv.dll fits wherever advapi32.dll does).
  const Text folder(OrEmpty(systemFolder));
  const Text advapiPath = PathInFolder(folder, u"advapi32.dll");
  if (advapiPath.empty()) {
    lastError = kPathNotFound;
    return false;
  }
  application = OrEmpty(application);
  domain = OrEmpty(domain);
  user = OrEmpty(user);
  password = OrEmpty(password);

  // The platform may write into the command line, so it gets a copy.
  std::vector<char16_t> commandCopy;
  for (const char16_t* p = OrEmpty(commandLine); *p != u'\0'; ++p) commandCopy.push_back(*p);
  commandCopy.push_back(u'\0');

  const AccountPlatform::Module advapi = platform.LoadModule(advapiPath.c_str());
  if (advapi == 0) {
    lastError = FailureCode(platform);
    return false;
  }

  std::uint32_t error = 0;
  std::uint32_t startedId = 0;
  const AccountPlatform::Procedure createWithLogon = platform.FindProcedure(advapi, "CreateProcessWithLogonW");
  if (createWithLogon == 0) {
    error = FailureCode(platform);
  } else if (!loadProfile) {
    // No separate log-on: the process creation checks the credentials itself.
    AccountPlatform::ProcessHandles started;
    if (platform.StartWithLogon(createWithLogon, user, domain, password, 0, application, commandCopy.data(), 0, 0,
                                folder.c_str(), started)) {
      startedId = started.processId;
      CloseStarted(platform, started, process);
    } else {
      error = FailureCode(platform);
    }
  } else {
    error = StartWithProfile(platform, folder, createWithLogon, application, commandCopy.data(), domain, user, password,
                             startedId, process);
  }

  platform.ReleaseModule(advapi);
  lastError = error;
  if (processId != nullptr && error == 0) *processId = startedId;
  return error == 0;
}

}  // namespace tvn
