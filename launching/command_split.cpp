#include "launching/command_split.h"

namespace tvn {

CommandSplit SplitCommandText(TextView command) {
  CommandSplit split;
  bool inFilePart = true;
  bool insideQuotes = false;
  for (char16_t c : command) {
    if (c == u'\n') continue;
    if (!inFilePart) {
      split.parameters.push_back(c);
      continue;
    }
    if ((c == u' ' || c == u'\t') && !insideQuotes) {
      inFilePart = false;
    } else if (c == u'"') {
      insideQuotes = !insideQuotes;
    } else {
      split.file.push_back(c);
    }
  }
  return split;
}

}  // namespace tvn
