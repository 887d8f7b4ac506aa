#include "base/error_text.h"

namespace tvn {

const std::array<const char*, kFatalMessageCount>& FatalMessageTexts() {
  static const std::array<const char*, kFatalMessageCount> texts = {
      "FATAL ERROR: Get OS version failed!",
      "FATAL ERROR: Platform not supported!\r\nOnly: WinNT",
      "FATAL ERROR: OS version no supported!\r\nOnly: Win2k/XP/Vista",
      "FATAL ERROR: Initialize COM library!",
      "FATAL ERROR: Initialize common controls!",
      "FATAL ERROR: Extract script!",
      "FATAL ERROR: Execute script!",
      "FATAL ERROR: Load data from registry!",
      "FATAL ERROR: Startup dialog box!",
      "FATAL ERROR: Update resource!",
  };
  return texts;
}

std::uint32_t IconFlagForKind(std::uint32_t kind) {
  switch (kind & 0xFFFF) {
    case 0: return 0x40;
    case 1: return 0x30;
    case 2: return 0x10;
    case 3: return 0x20;
    default: return 0;
  }
}

Text ComposeErrorText(const Text* callerText, bool withErrorCode, std::int32_t errorCode, const Text* systemText) {
  Text joined;
  if (callerText) {
    joined += *callerText;
    joined += u"\r\n";
  }
  if (withErrorCode) joined += FormatText(u"Error (%d): ", kCommandUnits, {FormatNumber(errorCode)});
  if (systemText) joined += *systemText;
  return joined;
}

}  // namespace tvn
