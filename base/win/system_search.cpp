#include "base/win/system_search.h"

#include "base/system_paths.h"
#include "base/win/wide.h"

namespace tvn {

namespace {

// An environment value of any length (PATH is often longer than a path
// buffer); empty when it is missing. Keeps the last error.
Text EnvironmentText(const wchar_t* name) {
  const DWORD saved = GetLastError();
  Text value;
  DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
  while (needed > value.size()) {  // the value may grow between the calls
    value.assign(needed, u'\0');
    needed = GetEnvironmentVariableW(name, W(value), static_cast<DWORD>(value.size()));
  }
  value.resize(needed);
  SetLastError(saved);
  return value;
}

}  // namespace

Text SystemFolder() {
  Text buffer(kPathUnits, u'\0');
  SetLastError(0);
  const UINT length = GetSystemDirectoryW(W(buffer), static_cast<UINT>(kPathUnits));
  if (length == 0 || length >= kPathUnits) {
    const DWORD code = GetLastError();
    SetLastError(code != 0 ? code : static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    return Text();
  }
  buffer.resize(length);
  SetLastError(0);
  return buffer;
}

Text WindowsFolder() {
  const DWORD saved = GetLastError();
  Text buffer(kPathUnits, u'\0');
  const UINT length = GetSystemWindowsDirectoryW(W(buffer), static_cast<UINT>(kPathUnits));
  buffer.resize(length < kPathUnits ? length : 0);
  SetLastError(saved);
  return buffer;
}

bool FileAttributesProbe::IsFile(const Text& path) {
  const DWORD attributes = GetFileAttributesW(W(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

SearchResult FindInSystemFolders(TextView name, const std::vector<Text>& untrusted) {
  const DWORD saved = GetLastError();
  SearchPlaces places;
  for (Text folder : {SystemFolder(), WindowsFolder()}) {
    if (!folder.empty()) places.system.push_back(std::move(folder));
  }
  places.path = SplitSearchPath(EnvironmentText(L"PATH"));
  places.untrusted = untrusted;
  places.extensions = SplitExtensions(EnvironmentText(L"PATHEXT"));
  FileAttributesProbe probe;
  SearchResult result = FindFile(name, places, probe);
  SetLastError(saved);
  return result;
}

Text IconFilePath(TextView file) {
  const DWORD saved = GetLastError();
  Text path(file);
  if (!file.empty() && !HasPathSeparator(file)) {
    SearchResult found = FindInSystemFolders(file, {});
    path = found.outcome == SearchOutcome::kFound ? std::move(found.path) : PathInFolder(SystemFolder(), file);
  }
  SetLastError(saved);
  return path;
}

}  // namespace tvn
