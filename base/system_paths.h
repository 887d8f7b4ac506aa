// Where the programs and libraries that the tool starts for itself come from,
// and the working directories it gives them.
//
// Everything the tool runs or loads on its own behalf (the command
// interpreter, the script host, Notepad, the account libraries) is named by
// its full path in the system folder, and every process it starts gets a
// working directory that a limited user cannot write. A bare name would be
// looked up in the current directory or the executable's folder first, and a
// file planted there would then run with the rights of whoever runs the tool.
#pragma once

#include <cstdint>

#include "base/text.h"

namespace tvn {

// "<folder>\<file>": the file in the given folder, with exactly one backslash
// between them. Empty when the folder is empty or the result would not fit a
// path buffer (kPathUnits, terminator included).
Text PathInFolder(TextView folder, TextView file);

// True for a fully qualified path: a drive letter, a colon and a backslash
// ("C:\..."), or two leading backslashes (a UNC or device path). Drive-relative
// ("C:cmd.exe"), rooted ("\cmd.exe") and relative texts are not.
bool IsFullyQualifiedPath(TextView path);

// The command interpreter: the COMSPEC value when it is a fully qualified
// path, otherwise (unset, empty, too long for its buffer and so read as empty,
// relative) cmd.exe in the system folder. Empty only when both are unusable.
Text ChooseInterpreter(TextView comspec, TextView systemFolder);

// The root of a drive, "C:\", from a "systemdrive" value ("C:" or "C:\"); when
// that value is missing or anything else, the root of the system folder's
// drive. Empty when neither names a drive letter. Never the drive-relative
// "C:", which would stand for the caller's current directory on that drive.
Text SystemDriveRoot(TextView systemDrive, TextView systemFolder);

// The folder part of a file path for a temporary file next to it: the text up
// to and including the last backslash or slash, or the drive and colon of a
// drive-relative path ("C:"); "." when the path names no folder.
Text FolderOfPath(TextView path);

// The longest file name that the tool forms in its temporary folder: the
// unique names of UniqueTemporaryName ("TVN4294967295-4294967295.tmp").
constexpr std::size_t kLongestTemporaryName = 28;

// 0 when `folder` can hold the tool's files: a fully qualified folder, a drive
// letter, a colon and a backslash ("C:\...") or a UNC folder with its server
// and share ("\\server\share\..."), ending with a backslash, with room for
// kLongestTemporaryName more units in a path buffer. Otherwise the reason:
// kFilenameTooLong when it has no such room, kBadPathname when it is empty,
// relative, drive-relative ("C:"), rooted ("\Temp\"), a device path ("\\.\",
// "\\?\") or a UNC text without server or share. Files named in such a folder
// would be looked for in whatever the current directory is.
std::uint32_t TemporaryFolderError(TextView folder);

// "<folder><name>" for the unique file name "TVN<processId>-<sequence>.tmp",
// with a backslash between them unless the folder ends with a separator or is
// a drive and colon ("C:", that drive's current directory). Empty when the
// result would not fit a path buffer.
Text UniqueTemporaryName(TextView folder, std::uint32_t processId, std::uint32_t sequence);

// True when `keyName` is "Software\TVN\" followed by one to ten decimal digits:
// the description key of one process, which the tool may delete whole. The
// parent key Software\TVN, or anything else, never qualifies.
bool IsProcessDescriptionKey(TextView keyName);

}  // namespace tvn
