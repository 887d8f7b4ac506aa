#include "base/program_search.h"

#include "base/system_paths.h"

namespace tvn {

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

char16_t FoldAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// The ';'-separated pieces of a list value, empty ones included.
std::vector<TextView> Pieces(TextView list) {
  std::vector<TextView> pieces;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = list.find(u';', start);
    pieces.push_back(list.substr(start, end == TextView::npos ? TextView::npos : end - start));
    if (end == TextView::npos) return pieces;
    start = end + 1;
  }
}

TextView WithoutTrailingSeparator(TextView folder) {
  while (!folder.empty() && IsSeparator(folder.back())) folder.remove_suffix(1);
  return folder;
}

}  // namespace

bool HasPathSeparator(TextView name) { return name.find_first_of(u"\\/:") != TextView::npos; }

std::vector<Text> SplitSearchPath(TextView path) {
  std::vector<Text> folders;
  for (TextView entry : Pieces(path)) {
    if (entry.size() >= 2 && entry.front() == u'"' && entry.back() == u'"') entry = entry.substr(1, entry.size() - 2);
    if (IsFullyQualifiedPath(entry)) folders.emplace_back(entry);
  }
  return folders;
}

std::vector<Text> SplitExtensions(TextView pathext) {
  std::vector<Text> extensions;
  for (TextView entry : Pieces(pathext)) {
    if (entry.size() >= 2 && entry.front() == u'.') extensions.emplace_back(entry);
  }
  if (extensions.empty()) extensions = {u".COM", u".EXE", u".BAT", u".CMD"};
  return extensions;
}

std::vector<Text> SearchCandidates(TextView name, const std::vector<Text>& folders,
                                   const std::vector<Text>& extensions) {
  std::vector<Text> candidates;
  const bool asWritten = extensions.empty() || name.find(u'.') != TextView::npos;
  for (const Text& folder : folders) {
    if (asWritten) {
      Text path = PathInFolder(folder, name);
      if (!path.empty()) candidates.push_back(std::move(path));
      continue;
    }
    for (const Text& extension : extensions) {
      Text path = PathInFolder(folder, Text(name) + extension);
      if (!path.empty()) candidates.push_back(std::move(path));
    }
  }
  return candidates;
}

bool SameFolder(TextView a, TextView b) {
  a = WithoutTrailingSeparator(a);
  b = WithoutTrailingSeparator(b);
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (IsSeparator(a[i]) && IsSeparator(b[i])) continue;
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

SearchResult FindFile(TextView name, const SearchPlaces& places, FileProbe& probe) {
  SearchResult result;
  if (name.empty() || name.size() >= kPathUnits || HasPathSeparator(name)) return result;
  auto inList = [](const Text& folder, const std::vector<Text>& list) {
    for (const Text& other : list) {
      if (SameFolder(folder, other)) return true;
    }
    return false;
  };
  std::vector<Text> trusted = places.system;
  for (const Text& folder : places.path) {
    if (!inList(folder, places.untrusted)) trusted.push_back(folder);
  }
  std::vector<Text> untrusted;
  for (const Text& folder : places.untrusted) {
    if (!inList(folder, places.system)) untrusted.push_back(folder);
  }
  for (Text& path : SearchCandidates(name, trusted, places.extensions)) {
    if (probe.IsFile(path)) {
      result.outcome = SearchOutcome::kFound;
      result.path = std::move(path);
      return result;
    }
  }
  result.outcome = SearchOutcome::kNotFound;
  for (const Text& path : SearchCandidates(name, untrusted, places.extensions)) {
    if (probe.IsFile(path)) result.outcome = SearchOutcome::kRefused;
  }
  return result;
}

}  // namespace tvn
