#include "launching/start_as_user.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tvn {
namespace {

// Records every call as one line and keeps count of what is open. `failAt`
// names the call (by its recorded prefix) that fails, with `failCode`.
class FakeAccounts : public AccountPlatform {
 public:
  std::vector<std::string> calls;
  std::string failAt;
  std::uint32_t failCode = 0;
  bool profileReadable = true;
  bool profileFillsBuffer = false;           // the directory fills the buffer to its last unit
  std::map<std::string, Procedure> entries;  // the entry points handed out, by name
  ProcessHandles toReturn{501, 502, 4242};

  std::set<Module> libraries;
  std::set<Handle> handles;
  std::set<Environment> environments;
  int acquisitions = 0;
  int releases = 0;

  std::u16string lastDirectory;
  bool directoryWasNull = false;
  std::u16string lastCommandLine;
  const char16_t* passwordSeen = nullptr;
  std::uint32_t lastLogonFlags = 99;
  std::uint32_t lastCreationFlags = 99;
  Environment lastEnvironment = 99;
  std::uint32_t error = 0;

  bool Fails(const std::string& call) {
    calls.push_back(call);
    if (!failAt.empty() && call.rfind(failAt, 0) == 0) {
      error = failCode;
      return true;
    }
    error = 0;
    return false;
  }

  Module LoadModule(const char16_t* name) override {
    std::string narrow = ToUtf8(name);
    if (Fails("LoadLibrary " + narrow)) return 0;
    Module m = narrow.size() >= 12 && narrow.substr(narrow.size() - 12) == "advapi32.dll" ? 11 : 12;
    libraries.insert(m);
    ++acquisitions;
    return m;
  }
  Procedure FindProcedure(Module module, const char* name) override {
    if (Fails(std::string("GetProcAddress ") + name)) return 0;
    EXPECT_TRUE(libraries.count(module)) << name;
    return entries[name] = 0x1000 + calls.size();
  }
  void ReleaseModule(Module module) override {
    calls.push_back(module == 11 ? "FreeLibrary advapi32.dll" : "FreeLibrary Userenv.dll");
    EXPECT_EQ(libraries.erase(module), 1u);
    ++releases;
  }
  bool StartWithLogon(Procedure entry, const char16_t* user, const char16_t* domain, const char16_t* password,
                      std::uint32_t logonFlags, const char16_t* application, char16_t* commandLine,
                      std::uint32_t creationFlags, Environment environment, const char16_t* currentDirectory,
                      ProcessHandles& started) override {
    EXPECT_EQ(entry, entries["CreateProcessWithLogonW"]);
    lastLogonFlags = logonFlags;
    lastCreationFlags = creationFlags;
    lastEnvironment = environment;
    directoryWasNull = currentDirectory == nullptr;
    lastDirectory = currentDirectory ? currentDirectory : u"";
    lastCommandLine = commandLine;
    commandLine[0] = u'X';  // the platform may write into it
    passwordSeen = password;
    if (Fails("CreateProcessWithLogon " + ToUtf8(user) + "@" + ToUtf8(domain) + " " + ToUtf8(application))) {
      return false;
    }
    started = toReturn;
    for (Handle h : {started.process, started.thread}) {
      if (h != kInvalidHandle) {
        handles.insert(h);
        ++acquisitions;
      }
    }
    return true;
  }
  bool LogonAccount(const char16_t* user, const char16_t* domain, const char16_t* password, std::uint32_t logonType,
                    std::uint32_t provider, Handle& token) override {
    EXPECT_EQ(logonType, 2u);
    EXPECT_EQ(provider, 0u);
    passwordSeen = password;
    if (Fails("LogonUser " + ToUtf8(user) + "@" + ToUtf8(domain))) return false;
    token = 700;
    handles.insert(token);
    ++acquisitions;
    return true;
  }
  bool CreateEnvironment(Procedure entry, Environment& environment, Handle token, bool inherit) override {
    EXPECT_EQ(entry, entries["CreateEnvironmentBlock"]);
    EXPECT_TRUE(handles.count(token));
    EXPECT_FALSE(inherit);
    if (Fails("CreateEnvironmentBlock")) return false;
    environment = 800;
    environments.insert(environment);
    ++acquisitions;
    return true;
  }
  bool DestroyEnvironment(Procedure entry, Environment environment) override {
    EXPECT_EQ(entry, entries["DestroyEnvironmentBlock"]);
    calls.push_back("DestroyEnvironmentBlock");
    EXPECT_EQ(environments.erase(environment), 1u);
    ++releases;
    return true;
  }
  bool ReadProfileDirectory(Procedure entry, Handle token, char16_t* directory, std::uint32_t& size) override {
    EXPECT_EQ(entry, entries["GetUserProfileDirectoryW"]);
    calls.push_back("GetUserProfileDirectory");
    EXPECT_TRUE(handles.count(token));
    EXPECT_EQ(size, 1024u);
    for (std::uint32_t i = 0; i < size; ++i) EXPECT_EQ(directory[i], u'\0');  // zero-filled buffer
    if (!profileReadable) {
      directory[0] = u'?';  // a failing call may leave rubbish behind
      error = 1326;
      return false;
    }
    if (profileFillsBuffer) {
      std::fill(directory, directory + size, u'p');
      return true;
    }
    const std::u16string path = u"C:\\Users\\admin";
    path.copy(directory, path.size());
    return true;
  }
  void CloseKernelHandle(Handle handle) override {
    calls.push_back("CloseHandle " + std::to_string(handle));
    EXPECT_EQ(handles.erase(handle), 1u);
    ++releases;
  }
  std::uint32_t LastError() override { return error; }

  bool NothingLeftOpen() const {
    return libraries.empty() && handles.empty() && environments.empty() && acquisitions == releases;
  }
};

const char16_t kSystemFolder[] = u"C:\\Win Dir\\system32";

bool StartLogon(FakeAccounts& fake, bool loadProfile, std::uint32_t& code) {
  return StartAsUser(fake, kSystemFolder, u"C:\\tvn\\TVN.exe", u" c", loadProfile, u"CORP", u"admin", u"secret", code);
}

TEST(StartAsUser, WithoutProfileCallOrder) {
  FakeAccounts fake;
  std::uint32_t code = 77;
  EXPECT_TRUE(StartLogon(fake, false, code));
  EXPECT_EQ(code, 0u);
  // The library by its full path in the system folder, never by a bare name.
  const std::vector<std::string> expected = {
      "LoadLibrary C:\\Win Dir\\system32\\advapi32.dll",
      "GetProcAddress CreateProcessWithLogonW",
      "CreateProcessWithLogon admin@CORP C:\\tvn\\TVN.exe",
      "CloseHandle 501",
      "CloseHandle 502",
      "FreeLibrary advapi32.dll",
  };
  EXPECT_EQ(fake.calls, expected);
  EXPECT_EQ(fake.lastLogonFlags, 0u);
  EXPECT_EQ(fake.lastCreationFlags, 0u);
  EXPECT_EQ(fake.lastEnvironment, 0u);
  // The new process starts in the system folder, not in the caller's directory.
  EXPECT_FALSE(fake.directoryWasNull);
  EXPECT_EQ(fake.lastDirectory, kSystemFolder);
  EXPECT_EQ(fake.lastCommandLine, u" c");
  EXPECT_TRUE(fake.NothingLeftOpen());
}

TEST(StartAsUser, WithProfileCallOrder) {
  FakeAccounts fake;
  std::uint32_t code = 77;
  EXPECT_TRUE(StartLogon(fake, true, code));
  EXPECT_EQ(code, 0u);
  const std::vector<std::string> expected = {
      "LoadLibrary C:\\Win Dir\\system32\\advapi32.dll",
      "GetProcAddress CreateProcessWithLogonW",
      "LoadLibrary C:\\Win Dir\\system32\\Userenv.dll",
      "GetProcAddress CreateEnvironmentBlock",
      "GetProcAddress DestroyEnvironmentBlock",
      "GetProcAddress GetUserProfileDirectoryW",
      "LogonUser admin@CORP",
      "CreateEnvironmentBlock",
      "GetUserProfileDirectory",
      "CreateProcessWithLogon admin@CORP C:\\tvn\\TVN.exe",
      "CloseHandle 501",
      "CloseHandle 502",
      "DestroyEnvironmentBlock",
      "CloseHandle 700",
      "FreeLibrary Userenv.dll",
      "FreeLibrary advapi32.dll",
  };
  EXPECT_EQ(fake.calls, expected);
  EXPECT_EQ(fake.lastLogonFlags, 1u);
  EXPECT_EQ(fake.lastCreationFlags, 0x400u);
  EXPECT_EQ(fake.lastEnvironment, 800u);
  EXPECT_EQ(fake.lastDirectory, u"C:\\Users\\admin");
  EXPECT_TRUE(fake.NothingLeftOpen());
}

TEST(StartAsUser, EveryFailingStepReleasesAllAndReportsItsCode) {
  const std::vector<std::string> profileSteps = {"LoadLibrary C:\\Win Dir\\system32\\advapi32.dll",
                                                 "GetProcAddress CreateProcessWithLogonW",
                                                 "LoadLibrary C:\\Win Dir\\system32\\Userenv.dll",
                                                 "GetProcAddress CreateEnvironmentBlock",
                                                 "GetProcAddress DestroyEnvironmentBlock",
                                                 "GetProcAddress GetUserProfileDirectoryW",
                                                 "LogonUser",
                                                 "CreateEnvironmentBlock",
                                                 "CreateProcessWithLogon"};
  for (bool loadProfile : {false, true}) {
    std::uint32_t stepCode = 1000;
    for (const std::string& step : profileSteps) {
      const bool profileOnly = step.find("Userenv") != std::string::npos ||
                               step.find("Environment") != std::string::npos ||
                               step.find("Profile") != std::string::npos || step == "LogonUser";
      if (!loadProfile && profileOnly) continue;
      FakeAccounts fake;
      fake.failAt = step;
      fake.failCode = ++stepCode;
      std::uint32_t code = 0;
      EXPECT_FALSE(StartLogon(fake, loadProfile, code)) << step;
      EXPECT_EQ(code, stepCode) << step;
      EXPECT_TRUE(fake.NothingLeftOpen()) << step << " profile " << loadProfile;
      // Nothing is attempted after the failing step but releases.
      const std::string& failed = fake.calls[fake.calls.size() - 1 - (fake.releases)];
      EXPECT_EQ(failed.rfind(step, 0), 0u) << step << " / " << failed;
    }
  }
}

TEST(StartAsUser, AFailureWithoutACodeNeverReadsAsSuccess) {
  FakeAccounts fake;
  fake.failAt = "CreateProcessWithLogon";  // what Wine's stub does: FALSE and last error 0
  fake.failCode = 0;
  std::uint32_t code = 0;
  EXPECT_FALSE(StartLogon(fake, false, code));
  EXPECT_EQ(code, kUnreportedFailure);
  EXPECT_TRUE(fake.NothingLeftOpen());
}

TEST(StartAsUser, WithoutProfileNoSeparateLogon) {
  FakeAccounts fake;
  std::uint32_t code = 0;
  ASSERT_TRUE(StartLogon(fake, false, code));
  for (const std::string& call : fake.calls) {
    EXPECT_EQ(call.find("LogonUser"), std::string::npos);
    EXPECT_EQ(call.find("Environment"), std::string::npos);
    EXPECT_EQ(call.find("Userenv"), std::string::npos);
  }
}

TEST(StartAsUser, UnreadableProfileStartsInTheSystemFolder) {
  FakeAccounts fake;
  fake.profileReadable = false;
  std::uint32_t code = 77;
  EXPECT_TRUE(StartLogon(fake, true, code));  // the outcome is that of the process creation
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(fake.directoryWasNull);
  EXPECT_EQ(fake.lastDirectory, kSystemFolder);
  EXPECT_TRUE(fake.NothingLeftOpen());
}

// A platform that fills the whole directory buffer leaves no terminator of its
// own: the directory handed on is cut to the buffer's last unit.
TEST(StartAsUser, AProfileDirectoryThatFillsItsBufferIsTerminated) {
  FakeAccounts fake;
  fake.profileFillsBuffer = true;
  std::uint32_t code = 77;
  EXPECT_TRUE(StartLogon(fake, true, code));
  EXPECT_EQ(fake.lastDirectory, std::u16string(kProfileDirectoryUnits - 1, u'p'));
  EXPECT_TRUE(fake.NothingLeftOpen());
}

TEST(StartAsUser, WithoutAUsableSystemFolderNothingIsLoaded) {
  const std::u16string tooLong = u"C:\\" + std::u16string(kPathUnits, u'x');
  for (const char16_t* folder : {static_cast<const char16_t*>(nullptr), u"", tooLong.c_str()}) {
    for (bool loadProfile : {false, true}) {
      FakeAccounts fake;
      std::uint32_t code = 0;
      EXPECT_FALSE(
          StartAsUser(fake, folder, u"C:\\tvn\\TVN.exe", u" c", loadProfile, u"CORP", u"admin", u"secret", code));
      EXPECT_EQ(code, kPathNotFound);
      EXPECT_TRUE(fake.calls.empty()) << fake.calls[0];
    }
  }
}

// The caller waits for the started copy by its identifier, or by its handle
// when it asks for that (another account's process may not open for it): both
// are handed out on both branches, and a failed start hands out neither.
TEST(StartAsUser, HandsOutTheStartedProcessIdentifierAndHandle) {
  for (bool loadProfile : {false, true}) {
    FakeAccounts fake;
    std::uint32_t code = 77;
    std::uint32_t processId = 9;
    EXPECT_TRUE(StartAsUser(fake, kSystemFolder, u"C:\\tvn\\TVN.exe", u" c", loadProfile, u"CORP", u"admin", u"secret",
                            code, &processId));
    EXPECT_EQ(processId, 4242u) << "profile " << loadProfile;
    EXPECT_TRUE(fake.NothingLeftOpen());

    FakeAccounts kept;
    AccountPlatform::Handle process = 9;
    EXPECT_TRUE(StartAsUser(kept, kSystemFolder, u"C:\\tvn\\TVN.exe", u" c", loadProfile, u"CORP", u"admin", u"secret",
                            code, nullptr, &process));
    EXPECT_EQ(process, 501u) << "profile " << loadProfile;
    EXPECT_EQ(kept.handles, std::set<AccountPlatform::Handle>{501}) << "only the process handle stays open";
  }
  FakeAccounts failing;
  failing.failAt = "CreateProcessWithLogon";
  failing.failCode = 1326;
  std::uint32_t failCode = 0;
  AccountPlatform::Handle none = 9;
  EXPECT_FALSE(StartAsUser(failing, kSystemFolder, u"C:\\tvn\\TVN.exe", u" c", false, u"CORP", u"admin", u"secret",
                           failCode, nullptr, &none));
  EXPECT_EQ(none, 0u);
  for (const std::string& step : {std::string("CreateProcessWithLogon"), std::string("LogonUser"),
                                  std::string("LoadLibrary C:\\Win Dir\\system32\\advapi32.dll")}) {
    FakeAccounts fake;
    fake.failAt = step;
    fake.failCode = 1326;
    std::uint32_t code = 0;
    std::uint32_t processId = 9;
    EXPECT_FALSE(StartAsUser(fake, kSystemFolder, u"C:\\tvn\\TVN.exe", u" c", true, u"CORP", u"admin", u"secret", code,
                             &processId));
    EXPECT_EQ(processId, 0u) << step;
  }
  std::uint32_t code = 0;
  std::uint32_t processId = 9;
  FakeAccounts fake;
  EXPECT_FALSE(StartAsUser(fake, nullptr, u"a.exe", u"", false, u"", u"u", u"p", code, &processId));
  EXPECT_EQ(processId, 0u);
}

TEST(StartAsUser, InvalidProcessHandlesAreNotClosed) {
  FakeAccounts fake;
  fake.toReturn = {AccountPlatform::kInvalidHandle, AccountPlatform::kInvalidHandle};
  std::uint32_t code = 77;
  EXPECT_TRUE(StartLogon(fake, false, code));
  for (const std::string& call : fake.calls) EXPECT_EQ(call.rfind("CloseHandle", 0), std::string::npos);
  EXPECT_TRUE(fake.NothingLeftOpen());
}

TEST(StartAsUser, PasswordIsReadInPlaceAndNullTextsAreEmpty) {
  FakeAccounts fake;
  const char16_t password[] = u"pw";
  std::uint32_t code = 77;
  EXPECT_TRUE(StartAsUser(fake, kSystemFolder, u"a.exe", nullptr, true, nullptr, nullptr, password, code));
  EXPECT_EQ(fake.passwordSeen, password);  // no copy of the password is made
  EXPECT_EQ(fake.lastCommandLine, u"");
  EXPECT_EQ(fake.calls[6], "LogonUser @");
}

TEST(SecretBuffer, SecureWipeZeroesEveryByteToTheLast) {
  unsigned char bytes[7];
  std::fill(bytes, bytes + sizeof(bytes), 0xFF);
  SecureWipe(bytes, 6);
  for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(bytes[i], 0) << i;
  EXPECT_EQ(bytes[6], 0xFF);  // and not one more
}

TEST(SecretBuffer, WipeZeroesEveryUnit) {
  SecretBuffer buffer(512);
  EXPECT_EQ(buffer.units(), 512u);
  for (std::size_t i = 0; i < buffer.units(); ++i) EXPECT_EQ(buffer.data()[i], u'\0');
  for (std::size_t i = 0; i < buffer.units(); ++i) buffer.data()[i] = u'\xFFFF';  // both bytes of each unit set
  buffer.Wipe();
  for (std::size_t i = 0; i < buffer.units(); ++i) ASSERT_EQ(buffer.data()[i], u'\0') << i;
}

}  // namespace
}  // namespace tvn
