#include "tests/wine/support/files.h"

#include "base/win/unique_handle.h"

namespace tvn_test {

namespace {

using tvn::UniqueHandleKernel;

constexpr DWORD kDeleteRetryMs = 5000;
constexpr DWORD kDeleteRetryStepMs = 100;

// Deletes a file, retrying while another process still holds it open.
void DeleteWithRetry(const std::wstring& path) {
  for (DWORD waited = 0; DeleteFileW(path.c_str()) == FALSE && Exists(path) && waited < kDeleteRetryMs;
       waited += kDeleteRetryStepMs) {
    Sleep(kDeleteRetryStepMs);
  }
}

}  // namespace

std::wstring ModulePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::wstring();
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring ModuleDir() {
  const std::wstring path = ModulePath();
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

std::wstring BesideModule(const wchar_t* name) { return ModuleDir() + name; }

std::wstring TempDir() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  return std::wstring(buffer, length <= MAX_PATH ? length : 0);
}

std::wstring SystemFolder() {
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
  return std::wstring(buffer, length < MAX_PATH ? length : 0);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
  bytes.clear();
  UniqueHandleKernel file(CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
  if (!file) return false;
  char buffer[65536];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) return false;
    if (read == 0) return true;
    bytes.append(buffer, read);
  }
}

std::string FileBytes(const std::wstring& path) {
  std::string bytes;
  return ReadFileBytes(path, bytes) ? bytes : std::string();
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  UniqueHandleKernel file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  return file && bytes.size() <= 0x7FFFFFFF &&
         WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

std::wstring TempFileName(const wchar_t* prefix) {
  wchar_t file[MAX_PATH] = {};
  if (GetTempFileNameW(TempDir().c_str(), prefix, 0, file) == 0) return std::wstring();
  return file;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const tvn::UniqueFind search(FindFirstFileW((folder + L"*").c_str(), &found));
  if (!search) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileW(search.get(), &found));
  return names;
}

TempFolder::TempFolder(const wchar_t* prefix) {
  static int counter = 0;
  path_ =
      TempDir() + prefix + L" " + std::to_wstring(GetCurrentProcessId()) + L" " + std::to_wstring(++counter) + L"\\";
  created_ = CreateDirectoryW(path_.c_str(), nullptr) != FALSE;
}

TempFolder::~TempFolder() {
  if (!created_) return;
  for (const std::wstring& name : FilesIn(path_)) DeleteWithRetry(path_ + name);
  RemoveDirectoryW(path_.c_str());
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
  return out;
}

std::wstring WideFromUtf8(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (units <= 0) return std::wstring();
  std::wstring out(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], units);
  return out;
}

std::wstring EnvironmentVariable(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return std::wstring();
  std::vector<wchar_t> buffer(size + 1, L'\0');
  const DWORD length = GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
  return length < buffer.size() ? std::wstring(buffer.data(), length) : std::wstring();
}

ScopedEnvironment::ScopedEnvironment(const wchar_t* name, const wchar_t* value) : name_(name) {
  SetLastError(0);
  old_ = EnvironmentVariable(name);
  had_ = !old_.empty() || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
  SetEnvironmentVariableW(name, value);
}

ScopedEnvironment::~ScopedEnvironment() { SetEnvironmentVariableW(name_.c_str(), had_ ? old_.c_str() : nullptr); }

ScopedCurrentDirectory::ScopedCurrentDirectory(const std::wstring& folder) {
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  std::vector<wchar_t> buffer(size + 1, L'\0');
  const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
  old_.assign(buffer.data(), length < buffer.size() ? length : 0);
  changed_ = SetCurrentDirectoryW(folder.c_str()) != FALSE;
}

ScopedCurrentDirectory::~ScopedCurrentDirectory() {
  if (changed_) SetCurrentDirectoryW(old_.c_str());
}

}  // namespace tvn_test
