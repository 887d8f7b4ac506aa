#include "launcher/command_line.h"

#include "launching/elevation.h"

namespace tvn {

CommandLineOptions ParseCommandLine(TextView text) {
  CommandLineOptions options;
  bool insideQuotes = false;
  std::size_t slot = 0;
  std::size_t count = 0;
  for (char16_t c : text) {
    if (c == u'"') {
      if (insideQuotes) {
        insideQuotes = false;
        ++slot;
      } else {
        insideQuotes = true;
        count = 0;
      }
      continue;
    }
    if (insideQuotes) {
      // Arguments past the fifth have no slot: their characters are dropped.
      if (slot < kArgumentCount) {
        if (count < kArgumentChars) {
          options.arguments[slot].push_back(c);
          ++count;
        } else {
          options.overflowed[slot] = true;
        }
      }
      continue;
    }
    switch (c) {
      case u'a': options.uiMode = UiMode::Logon; break;
      case u'c': options.uiMode = UiMode::Commands; break;
      case u't': options.uiMode = UiMode::Diagnostics; break;
      case u'e': options.toolMode = ToolMode::ExtractResource; break;
      case u'i': options.toolMode = ToolMode::UpdateResource; break;
      case kElevationMarker: options.elevationMarked = true; break;
      default: break;
    }
  }
  return options;
}

std::uint32_t RefusedArgumentError(const CommandLineOptions& options) {
  // How many leading arguments of each mode are paths, and how many it reads.
  std::size_t paths = 0;
  std::size_t used = 0;
  if (options.toolMode == ToolMode::ExtractResource) {
    paths = 1;
    used = 3;
  } else if (options.toolMode == ToolMode::UpdateResource) {
    paths = 2;
    used = 4;
  }
  for (std::size_t i = 0; i < paths; ++i) {
    if (options.overflowed[i]) return kFilenameTooLong;
  }
  for (std::size_t i = paths; i < used; ++i) {
    if (options.overflowed[i]) return kBufferTooSmall;
  }
  return 0;
}

TextView StripProgramName(TextView line) {
  std::size_t i = 0;
  if (!line.empty() && line[0] == u'"') {
    ++i;
    while (i < line.size() && line[i] != u'"') ++i;
    if (i < line.size()) ++i;  // the closing quote belongs to the name
  } else if (!line.empty() && line[0] > u' ') {
    while (i < line.size() && line[i] > u' ') ++i;
  }
  while (i < line.size() && line[i] >= 1 && line[i] <= 32) ++i;
  return line.substr(i);
}

}  // namespace tvn
