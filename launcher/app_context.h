// Building and releasing the application context of one run.
#pragma once

#include <cstdint>

#include "base/text.h"
#include "description/records.h"

namespace tvn {

// Fills every field of the context (the mode-4 load): the paths formatted
// from the executable path and the temporary directory, each cut to 1024
// units, the key name "Software\TVN\<pid>" and the fatal message table.
void LoadAppContext(AppContext& context, std::uint32_t processId, TextView exePath, TextView tempDir);

// Frees every buffer that LoadAppContext allocated (the mode-4 release).
void ReleaseAppContext(AppContext& context);

// True when the path starts with two backslashes, or when the drive named by
// its first two characters is a remote drive according to `isRemoteDrive`.
template <typename RemoteDriveQuery>
bool IsNetworkPathWith(TextView path, RemoteDriveQuery isRemoteDrive) {
  if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') return true;
  return isRemoteDrive(path.substr(0, path.size() < 2 ? path.size() : 2));
}

}  // namespace tvn
