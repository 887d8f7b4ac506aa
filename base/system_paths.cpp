#include "base/system_paths.h"

#include "base/error_text.h"

namespace tvn {

namespace {

bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }
bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

constexpr TextView kDescriptionKeyPrefix = u"Software\\TVN\\";
constexpr std::size_t kMaxProcessIdDigits = 10;  // 4294967295

}  // namespace

Text PathInFolder(TextView folder, TextView file) {
  if (folder.empty() || file.empty()) return Text();
  Text path(folder);
  if (!IsSeparator(path.back())) path.push_back(u'\\');
  path.append(file.data(), file.size());
  if (path.size() >= kPathUnits) return Text();
  return path;
}

bool IsFullyQualifiedPath(TextView path) {
  if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == u':' && IsSeparator(path[2])) return true;
  return path.size() >= 3 && path[0] == u'\\' && path[1] == u'\\';
}

Text ChooseInterpreter(TextView comspec, TextView systemFolder) {
  if (IsFullyQualifiedPath(comspec) && comspec.size() < kPathUnits) return Text(comspec);
  return PathInFolder(systemFolder, u"cmd.exe");
}

Text SystemDriveRoot(TextView systemDrive, TextView systemFolder) {
  const bool driveValue = (systemDrive.size() == 2 || (systemDrive.size() == 3 && systemDrive[2] == u'\\')) &&
                          IsDriveLetter(systemDrive[0]) && systemDrive[1] == u':';
  TextView source = driveValue ? systemDrive : systemFolder;
  if (source.size() < 2 || !IsDriveLetter(source[0]) || source[1] != u':') return Text();
  Text root(source.substr(0, 2));
  root.push_back(u'\\');
  return root;
}

Text FolderOfPath(TextView path) {
  const std::size_t last = path.find_last_of(u"\\/");
  if (last != TextView::npos) return Text(path.substr(0, last + 1));
  if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == u':') return Text(path.substr(0, 2));
  return Text(u".");
}

std::uint32_t TemporaryFolderError(TextView folder) {
  bool qualified = folder.size() >= 3 && IsDriveLetter(folder[0]) && folder[1] == u':' && folder[2] == u'\\';
  if (!qualified && folder.size() >= 2 && folder[0] == u'\\' && folder[1] == u'\\') {
    // "\\server\share\": both names present, neither a device prefix.
    const std::size_t serverEnd = folder.find(u'\\', 2);
    const std::size_t shareEnd = serverEnd == TextView::npos ? TextView::npos : folder.find(u'\\', serverEnd + 1);
    const TextView server = folder.substr(2, serverEnd == TextView::npos ? 0 : serverEnd - 2);
    qualified = !server.empty() && server != u"." && server != u"?" && server.find(u'/') == TextView::npos &&
                shareEnd != TextView::npos && shareEnd > serverEnd + 1;
  }
  if (!qualified || folder.back() != u'\\') return kBadPathname;
  if (folder.size() + kLongestTemporaryName >= kPathUnits) return kFilenameTooLong;
  return kStatusSuccess;
}

Text UniqueTemporaryName(TextView folder, std::uint32_t processId, std::uint32_t sequence) {
  Text path(folder);
  if (!path.empty() && !IsSeparator(path.back()) && path.back() != u':') path.push_back(u'\\');
  path += u"TVN" + FormatNumber(processId) + u"-" + FormatNumber(sequence) + u".tmp";
  if (path.size() >= kPathUnits) return Text();
  return path;
}

bool IsProcessDescriptionKey(TextView keyName) {
  if (keyName.substr(0, kDescriptionKeyPrefix.size()) != kDescriptionKeyPrefix) return false;
  const TextView digits = keyName.substr(kDescriptionKeyPrefix.size());
  if (digits.empty() || digits.size() > kMaxProcessIdDigits) return false;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return false;
  }
  return true;
}

}  // namespace tvn
