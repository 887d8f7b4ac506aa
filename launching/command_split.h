// How ShellRun divides a command text into the thing to open and its
// parameters.
#pragma once

#include "base/text.h"

namespace tvn {

struct CommandSplit {
  Text file;        // what the shell opens, quotes removed
  Text parameters;  // the rest, as typed
};

// Splits `command` character by character:
// - a line feed is dropped everywhere;
// - in the file part, a blank or tab outside quotes ends the file part and is
//   dropped; inside quotes it belongs to the file;
// - in the file part a double quote toggles the quoting and is dropped;
// - everything else (carriage returns, and in the parameter part blanks, tabs
//   and quotes) is kept in the current part.
// An unterminated quote simply keeps the rest of the text in the file part.
CommandSplit SplitCommandText(TextView command);

}  // namespace tvn
