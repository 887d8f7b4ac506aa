// Where a program, document or icon file named without a folder is looked
// for.
//
// The shell and ExtractIconW look for such a name in the working directory
// and in the executable's folder before the system's folders. Both may be
// writable by a limited user (every user may create files in C:\ on Windows
// 2000), and a file planted there would then run, or show, as the
// administrator. The tool therefore resolves the name itself, in folders
// that only administrators can write: the system folder, the Windows folder
// and the fully qualified folders of PATH.
#pragma once

#include <vector>

#include "base/text.h"

namespace tvn {

// True when `name` holds a backslash, a slash or a colon: it names its own
// folder or drive ("C:x.exe"), or it is not a file name at all
// ("mailto:someone"), and it is opened as written.
bool HasPathSeparator(TextView name);

// The folders of a PATH value, in order: the ';'-separated entries with
// surrounding double quotes removed. Empty entries, and entries that are not
// fully qualified ("bin", ".", "\tools", "%SystemRoot%"), are left out: they
// would be found through the current directory.
std::vector<Text> SplitSearchPath(TextView path);

// The extensions of a PATHEXT value: the ';'-separated entries that begin
// with a dot and have more. Without any (unset, empty, nothing usable) the
// interpreter's own list: .COM, .EXE, .BAT, .CMD.
std::vector<Text> SplitExtensions(TextView pathext);

// The paths to try for `name`, folder by folder: "<folder>\<name>" when the
// name has an extension (a dot) or `extensions` is empty, else
// "<folder>\<name><extension>" for each extension. A path that would not fit
// a path buffer is left out, never cut.
std::vector<Text> SearchCandidates(TextView name, const std::vector<Text>& folders,
                                   const std::vector<Text>& extensions);

// Whether a path names an existing file (not a folder).
class FileProbe {
 public:
  virtual ~FileProbe() = default;
  virtual bool IsFile(const Text& path) = 0;
};

struct SearchPlaces {
  std::vector<Text> system;     // the system and Windows folders, searched first
  std::vector<Text> path;       // the PATH folders, searched next
  std::vector<Text> untrusted;  // never used: a name found only here is refused
  std::vector<Text> extensions;
};

// True when two folder texts name the same folder: equal without regard to
// ASCII case, a trailing backslash or slash, or the kind of separator.
bool SameFolder(TextView a, TextView b);

enum class SearchOutcome {
  kNotSearched,  // the name has a separator, is empty, or is too long for a path
  kFound,        // `path` is the full path in a trusted folder
  kNotFound,     // in no folder at all: the caller passes the name on as it was
  kRefused,      // only in an untrusted folder, where the shell would find it
};

struct SearchResult {
  SearchOutcome outcome = SearchOutcome::kNotSearched;
  Text path;
};

// Looks `name` up in `places`. A PATH folder that is also an untrusted one
// (a PATH that names the drive root, say) is not searched; an untrusted
// folder that is a system folder (the current directory of a copy started
// in the system folder) counts as a system folder.
SearchResult FindFile(TextView name, const SearchPlaces& places, FileProbe& probe);

}  // namespace tvn
