#include "launching/start_as_user.h"

#include <initializer_list>
#include <vector>

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

void CloseStarted(AccountPlatform& platform, const AccountPlatform::ProcessHandles& started) {
  for (AccountPlatform::Handle handle : {started.process, started.thread}) {
    if (handle != 0 && handle != AccountPlatform::kInvalidHandle) platform.CloseKernelHandle(handle);
  }
}

// Steps 4.1 to 4.7: the profile branch, between the loading and the release
// of advapi32. Returns the remembered code (0 when nothing failed).
std::uint32_t StartWithProfile(AccountPlatform& platform, AccountPlatform::Procedure createWithLogon,
                               const char16_t* application, char16_t* commandLine, const char16_t* domain,
                               const char16_t* user, const char16_t* password) {
  const AccountPlatform::Module userenv = platform.LoadModule(u"Userenv.dll");
  if (userenv == 0) return FailureCode(platform);

  std::uint32_t error = 0;
  const char* const names[3] = {"CreateEnvironmentBlock", "DestroyEnvironmentBlock", "GetUserProfileDirectoryW"};
  AccountPlatform::Procedure entries[3] = {0, 0, 0};
  for (int i = 0; i < 3 && error == 0; ++i) {
    entries[i] = platform.FindProcedure(userenv, names[i]);
    if (entries[i] == 0) error = FailureCode(platform);
  }
  if (error != 0) {
    platform.ReleaseModule(userenv);
    return error;
  }

  AccountPlatform::Handle token = 0;
  if (!platform.LogonAccount(user, domain, password, kLogonInteractive, kLogonProviderDefault, token)) {
    error = FailureCode(platform);
    platform.ReleaseModule(userenv);
    return error;
  }

  AccountPlatform::Environment environment = 0;
  if (!platform.CreateEnvironment(entries[0], environment, token, false)) {
    error = FailureCode(platform);
    platform.CloseKernelHandle(token);
    platform.ReleaseModule(userenv);
    return error;
  }

  {
    // Its result is not examined: a directory that cannot be read stays empty.
    SecretBuffer directory(kProfileDirectoryUnits);
    std::uint32_t size = static_cast<std::uint32_t>(kProfileDirectoryUnits);
    if (!platform.ReadProfileDirectory(entries[2], token, directory.data(), size)) directory.Wipe();
    directory.data()[kProfileDirectoryUnits - 1] = u'\0';

    AccountPlatform::ProcessHandles started;
    if (platform.StartWithLogon(createWithLogon, user, domain, password, kLogonWithProfile, application, commandLine,
                                kCreateUnicodeEnvironment, environment, directory.data(), started)) {
      CloseStarted(platform, started);
    } else {
      error = FailureCode(platform);
    }
  }  // the directory buffer is released first

  platform.DestroyEnvironment(entries[1], environment);
  platform.CloseKernelHandle(token);
  platform.ReleaseModule(userenv);
  return error;
}

}  // namespace

bool StartAsUser(AccountPlatform& platform, const char16_t* application, const char16_t* commandLine,
                 bool loadProfile, const char16_t* domain, const char16_t* user, const char16_t* password,
                 std::uint32_t& lastError) {
  application = OrEmpty(application);
  domain = OrEmpty(domain);
  user = OrEmpty(user);
  password = OrEmpty(password);

  // The platform may write into the command line, so it gets a copy.
  std::vector<char16_t> commandCopy;
  for (const char16_t* p = OrEmpty(commandLine); *p != u'\0'; ++p) commandCopy.push_back(*p);
  commandCopy.push_back(u'\0');

  const AccountPlatform::Module advapi = platform.LoadModule(u"advapi32.dll");
  if (advapi == 0) {
    lastError = FailureCode(platform);
    return false;
  }

  std::uint32_t error = 0;
  const AccountPlatform::Procedure createWithLogon = platform.FindProcedure(advapi, "CreateProcessWithLogonW");
  if (createWithLogon == 0) {
    error = FailureCode(platform);
  } else if (!loadProfile) {
    // No separate log-on: the process creation checks the credentials itself.
    AccountPlatform::ProcessHandles started;
    if (platform.StartWithLogon(createWithLogon, user, domain, password, 0, application, commandCopy.data(), 0, 0,
                                nullptr, started)) {
      CloseStarted(platform, started);
    } else {
      error = FailureCode(platform);
    }
  } else {
    error = StartWithProfile(platform, createWithLogon, application, commandCopy.data(), domain, user, password);
  }

  platform.ReleaseModule(advapi);
  lastError = error;
  return error == 0;
}

}  // namespace tvn
