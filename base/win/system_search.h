// The system's folders, and the search of base/program_search.h over them.
#pragma once

#include <windows.h>

#include <vector>

#include "base/program_search.h"
#include "base/text.h"

namespace tvn {

// GetSystemDirectoryW as text ("C:\Windows\system32"). Empty when the call
// fails or the path does not fit a path buffer; the last error is then the
// call's code, or ERROR_PATH_NOT_FOUND when it left none. Last error 0 on
// success.
Text SystemFolder();

// The shared Windows folder (GetSystemWindowsDirectoryW: on a terminal
// server the machine's folder, not the user's private one); empty when it
// cannot be had. Keeps the last error.
Text WindowsFolder();

// The real probe: GetFileAttributesW finds the path, and it is no folder.
class FileAttributesProbe final : public FileProbe {
 public:
  bool IsFile(const Text& path) override;
};

// `name` looked up in the system folder, the Windows folder and the fully
// qualified folders of PATH, with the extensions of PATHEXT for a name
// without one (`untrusted` as in SearchPlaces). Keeps the last error.
SearchResult FindInSystemFolders(TextView name, const std::vector<Text>& untrusted);

// The file that ExtractIconW reads for an icon named by `file`: a name with a
// separator as it is; a bare file name ("shell32.dll") with the folder of
// FindInSystemFolders in front, or the system folder when no such folder
// holds it, so that the executable's folder is never searched. Keeps the
// last error.
Text IconFilePath(TextView file);

}  // namespace tvn
