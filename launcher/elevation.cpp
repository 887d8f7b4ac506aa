#include "launcher/elevation.h"

#include "base/error_text.h"

namespace tvn {

ElevationStep DecideElevation(ElevationType type, bool marked, UiMode mode) {
  if (mode != UiMode::Commands || marked) return ElevationStep::GoOn;
  return type == ElevationType::Limited ? ElevationStep::Elevate : ElevationStep::GoOn;
}

ElevationOutcome ElevateIfNeeded(ElevationPlatform& platform, const CommandLineOptions& options, TextView exePath,
                                 TextView systemFolder) {
  ElevationOutcome outcome;
  if (options.toolMode != ToolMode::None) return outcome;  // the resource tool runs instead of any mode
  std::uint32_t value = 0;
  const bool read = platform.ReadElevationType(value);
  if (DecideElevation(ElevationTypeOf(read, value), options.elevationMarked, options.uiMode) !=
      ElevationStep::Elevate) {
    return outcome;
  }
  if (exePath.empty() || systemFolder.empty()) {
    outcome.startError = kPathNotFound;
    return outcome;
  }
  const Text file(exePath);
  const Text directory(systemFolder);
  if (platform.StartElevated(file.c_str(), kMarkedCommandModeTail, directory.c_str())) {
    outcome.handedOver = true;
    return outcome;
  }
  const std::uint32_t code = platform.LastError();
  outcome.startError = code != 0 ? code : kUnreportedFailure;
  return outcome;
}

}  // namespace tvn
