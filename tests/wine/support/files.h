// Paths, files, folders, environment variables and text conversions that the
// Windows-side tests share.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tvn_test {

// This test program's full path, and its folder with a trailing backslash.
// The test tools (tvn_record.exe, tvn_inspect.exe, ...) and the packed
// description script are built beside it.
std::wstring ModulePath();
std::wstring ModuleDir();
std::wstring BesideModule(const wchar_t* name);

// The temporary directory (GetTempPathW, with its trailing backslash) and the
// system folder (GetSystemDirectoryW, without one).
std::wstring TempDir();
std::wstring SystemFolder();

bool Exists(const std::wstring& path);
// The same path, without regard to case (ordinal comparison).
bool SamePath(const std::wstring& a, const std::wstring& b);

// The whole file; false when it cannot be opened or read. The file is opened
// shared, so a program still writing it does not stand in the way.
bool ReadFileBytes(const std::wstring& path, std::string& bytes);
// The whole file, or nothing when it cannot be read.
std::string FileBytes(const std::wstring& path);
// Creates or replaces the file with exactly `bytes`.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);

// A new empty file of a unique name in the temporary directory.
std::wstring TempFileName(const wchar_t* prefix);
// The names of the files (not folders) in `folder` (with its trailing backslash).
std::vector<std::wstring> FilesIn(const std::wstring& folder);

// A fresh folder "<temp>\<prefix> <pid> <n>\" (the name holds blanks on
// purpose), emptied and removed at the end. Files that a started program
// still holds open are retried for a few seconds.
class TempFolder {
 public:
  explicit TempFolder(const wchar_t* prefix);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  bool created() const { return created_; }
  const std::wstring& path() const { return path_; }
  std::wstring operator/(const wchar_t* name) const { return path_ + name; }

 private:
  std::wstring path_;
  bool created_ = false;
};

// UTF-16 and UTF-8, exact for every text including embedded zeros.
std::string Utf8(const std::wstring& text);
std::wstring WideFromUtf8(const std::string& utf8);

// The value of an environment variable, or an empty text when it is not set.
std::wstring EnvironmentVariable(const wchar_t* name);

// Sets an environment variable (null removes it) until the end of the scope,
// then puts the old value back.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const wchar_t* name, const wchar_t* value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::wstring name_;
  std::wstring old_;
  bool had_ = false;
};

// Makes `folder` the current directory until the end of the scope.
class ScopedCurrentDirectory {
 public:
  explicit ScopedCurrentDirectory(const std::wstring& folder);
  ~ScopedCurrentDirectory();
  ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
  ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

  bool changed() const { return changed_; }

 private:
  std::wstring old_;
  bool changed_ = false;
};

}  // namespace tvn_test
