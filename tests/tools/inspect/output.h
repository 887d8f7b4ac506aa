// The inspector's one line of output.
#pragma once

#include <string>

namespace tvn_inspect {

// Writes `text` and a line break on stdout: as UTF-16 to a console, as the
// UTF-8 bytes themselves to a file or pipe.
void Print(const std::string& text);

}  // namespace tvn_inspect
