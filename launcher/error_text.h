// Composition of the text of an error box.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "launcher/text.h"

namespace tvn {

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
Text ComposeErrorText(const Text* callerText, bool withErrorCode, std::int32_t errorCode,
                      const Text* systemText);

constexpr char16_t kProductCaption[] = u"Tolvane";

}  // namespace tvn
