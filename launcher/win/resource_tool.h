// The resource tool modes: write a numbered resource of the running
// executable to a file (letter e), put a file's content into an executable as
// a numbered, language-neutral resource (letter i).
#pragma once

#include <windows.h>

#include "base/text.h"

namespace tvn {

struct AppContext;
struct CommandLineOptions;
class SplashWindow;

// The largest data file that the update mode reads (16 MiB); a larger one is
// refused with ERROR_FILE_TOO_LARGE before it is read.
constexpr DWORD kMaxResourceDataBytes = 16u * 1024u * 1024u;

// Writes resource `type`/`id` of the running executable's own module to
// `filePath` (replacing an existing file). The bytes are written with one
// WriteFile into a new temporary file in the target's folder, which then
// replaces the target (MoveFileExW, replace existing, write through). True
// with last error 0; false with the failing step's code, and then the
// temporary file is gone and an existing target is unchanged. A read-only
// file or a folder at `filePath` is refused (ERROR_ACCESS_DENIED). Type or id 0
// fails with ERROR_RESOURCE_TYPE_NOT_FOUND / ERROR_RESOURCE_NAME_NOT_FOUND, an
// empty resource with ERROR_RESOURCE_DATA_NOT_FOUND.
[[nodiscard]] bool ExtractResourceToFile(const wchar_t* filePath, WORD type, WORD id) noexcept;

// Replaces (or adds) resource `type`/`id`, language neutral, in `exePath` with
// the whole content of `dataPath`. True with last error 0; false with the
// failing step's code, and then the executable is unchanged. Refused before
// the executable is touched: type or id 0 (ERROR_INVALID_PARAMETER), an empty
// data file (ERROR_INVALID_DATA: an empty update would delete the resource),
// a data file above kMaxResourceDataBytes (ERROR_FILE_TOO_LARGE), a short
// read (ERROR_HANDLE_EOF).
[[nodiscard]] bool ReplaceResourceFromFile(const wchar_t* dataPath, const wchar_t* exePath, WORD type,
                                           WORD id) noexcept;

// A number argument as the resource calls receive it: the text converted to
// the ANSI code page, read as a decimal integer (leading white space, an
// optional sign, digits up to the first other character; no digits give 0),
// and cut to its low 16 bits ("-1" gives 65535, "70000" gives 4464). Only the
// first 19 bytes of the converted text count, as in the tool's 20-byte number
// buffer: a longer text is read from those 19 bytes (a 40-digit text of nines
// reads as nineteen nines, which saturates to the largest 64-bit value and so
// gives 65535).
WORD ResourceNumber(const Text& argument) noexcept;

// The mode sequence: runs the extract or update operation with the quoted
// arguments, shows fatal message 5 (extract) or 9 (update) with the error code
// and system text on failure, then closes the splash window. An argument that
// was longer than its buffer is refused with the same message and
// ERROR_FILENAME_EXCED_RANGE (a path) or ERROR_INSUFFICIENT_BUFFER (a number);
// nothing is then read or written.
void RunResourceTool(const CommandLineOptions& options, const AppContext& context, SplashWindow& splash);

}  // namespace tvn
