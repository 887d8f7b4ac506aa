// The platform error codes that the portable core produces or tests for, and
// the composition of the text of an error box.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "base/text.h"

namespace tvn {

// Platform status codes the core itself produces or tests for (the values of
// the Windows error codes of the same meaning).
constexpr std::uint32_t kStatusSuccess = 0;             // ERROR_SUCCESS
constexpr std::uint32_t kStatusFileNotFound = 2;        // ERROR_FILE_NOT_FOUND
constexpr std::uint32_t kPathNotFound = 3;              // ERROR_PATH_NOT_FOUND
constexpr std::uint32_t kStatusInvalidHandle = 6;       // ERROR_INVALID_HANDLE
constexpr std::uint32_t kErrorInvalidData = 13;         // ERROR_INVALID_DATA
constexpr std::uint32_t kStatusInvalidParameter = 87;   // ERROR_INVALID_PARAMETER
constexpr std::uint32_t kBufferTooSmall = 122;          // ERROR_INSUFFICIENT_BUFFER
constexpr std::uint32_t kBadPathname = 161;             // ERROR_BAD_PATHNAME
constexpr std::uint32_t kFilenameTooLong = 206;         // ERROR_FILENAME_EXCED_RANGE
constexpr std::uint32_t kStatusMoreData = 234;          // ERROR_MORE_DATA
constexpr std::uint32_t kStatusUnsupportedType = 1630;  // ERROR_UNSUPPORTED_TYPE
// Stands in for the code of a step that failed without setting one, so that
// a failure never reads as "completed successfully" (ERROR_GEN_FAILURE).
constexpr std::uint32_t kUnreportedFailure = 31;

constexpr std::size_t kFatalMessageCount = 10;

// The fatal message table, indexed 0 to 9.
const std::array<const char*, kFatalMessageCount>& FatalMessageTexts();

enum FatalMessage : int {
  kFatalGetVersion = 0,
  kFatalPlatform = 1,
  kFatalOsVersion = 2,
  kFatalComInit = 3,
  kFatalCommonControls = 4,
  kFatalExtractScript = 5,
  kFatalExecuteScript = 6,
  kFatalLoadRegistry = 7,
  kFatalStartupDialog = 8,
  kFatalUpdateResource = 9,
};

// Icon flag of a box kind (low 16 bits of the kind): 0 information (0x40),
// 1 warning (0x30), 2 error (0x10), 3 question (0x20), anything else none.
std::uint32_t IconFlagForKind(std::uint32_t kind);

// Joins the caller's text ("%s\r\n"), the error code ("Error (%d): ") and the
// system's text, in that order; a part not asked for, or absent, adds nothing.
Text ComposeErrorText(const Text* callerText, bool withErrorCode, std::int32_t errorCode, const Text* systemText);

constexpr char16_t kProductCaption[] = u"Tolvane";

}  // namespace tvn
