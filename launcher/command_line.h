// The command line of TVN.exe: mode letters outside quotes, up to five
// double-quoted arguments.
#pragma once

#include <array>
#include <cstdint>

#include "base/error_text.h"
#include "base/text.h"

namespace tvn {

enum class UiMode : int { Logon = 0, Commands = 1, Diagnostics = 5 };
enum class ToolMode : int { None = 0, ExtractResource = 1, UpdateResource = 2 };

constexpr std::size_t kArgumentCount = 5;
constexpr std::size_t kArgumentChars = 1024;  // characters kept per argument

struct CommandLineOptions {
  UiMode uiMode = UiMode::Logon;
  ToolMode toolMode = ToolMode::None;
  std::array<Text, kArgumentCount> arguments;  // each at most kArgumentChars
  // True for an argument that was longer than kArgumentChars: it holds only
  // the characters that fitted, and a mode that needs it refuses it.
  std::array<bool, kArgumentCount> overflowed = {};
  // True when the elevation marker (launching/elevation.h) stands outside
  // quotes: the copy does not ask for full rights again.
  bool elevationMarked = false;
};

// Parses the text that follows the program name. Letters a, c, t select the
// UI mode and e, i the tool mode (later letters win); a double-quoted run is
// an argument, of which the first kArgumentChars characters are kept (a longer
// one is marked as overflowed). A sixth and later quoted argument is ignored;
// an unterminated quote keeps what was read. The elevation marker outside
// quotes sets `elevationMarked`; every other character outside quotes is
// ignored.
CommandLineOptions ParseCommandLine(TextView text);

// The error with which the resource tool mode refuses its arguments: 0 when
// every argument the mode reads fitted its buffer; kFilenameTooLong when a
// path argument (the file of e; the data file and the executable of i) was
// longer; kBufferTooSmall when a number argument was. A cut argument would
// name another file, so it is never used. Arguments the mode does not read,
// and every argument of the dialog modes, do not count.
std::uint32_t RefusedArgumentError(const CommandLineOptions& options);

// What the start-up code leaves of a full command line after removing the
// program name: a leading quoted run, or else a leading word of characters
// above the blank, then every character from 1 to 32. A line that starts with
// a blank keeps everything after its leading white space.
TextView StripProgramName(TextView fullCommandLine);

}  // namespace tvn
