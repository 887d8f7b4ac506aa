// Whether a copy of the tool restarts itself with full administrator rights
// before it does anything else, and that restart.
#pragma once

#include <cstdint>

#include "base/text.h"
#include "launcher/command_line.h"
#include "launching/elevation.h"

namespace tvn {

enum class ElevationStep { GoOn, Elevate };

// Only the command mode elevates, only from the limited half of a split token
// (Default, Full and NoSplitToken go on), and never when the copy carries the
// marker: the elevated copy never asks again, whatever token it was given.
ElevationStep DecideElevation(ElevationType type, bool marked, UiMode mode);

struct ElevationOutcome {
  // The elevated copy was started: this one ends at once, before any script
  // run, key or dialog of its own.
  bool handedOver = false;
  // The elevated start failed with this code (never 0 then; 1223 when the
  // user answered No): this copy goes on without full rights and reports the
  // code once its dialog is open. 0 otherwise.
  std::uint32_t startError = 0;
};

// Reads this process's elevation type and, when DecideElevation says so,
// starts `exePath` with kMarkedCommandModeTail in `systemFolder`. A failed
// token query goes on without a report: it means that the system splits no
// token. An empty path or folder counts as a failed start.
ElevationOutcome ElevateIfNeeded(ElevationPlatform& platform, const CommandLineOptions& options, TextView exePath,
                                 TextView systemFolder);

}  // namespace tvn
