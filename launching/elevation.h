// Full administrator rights for the command-mode copy on systems that split
// an administrator's token (Windows Vista and later with UAC): the copy that
// holds the limited half starts itself once more with the full half and ends.
//
// The token query and the elevated start go through ElevationPlatform
// (launching/win/elevation.cpp binds it to the system, the tests to a fake).
#pragma once

#include <cstdint>

#include "base/text.h"

namespace tvn {

// The elevation type of a token (TOKEN_ELEVATION_TYPE), and NoSplitToken for a
// system that has no such query (Windows 2000 and XP answer it with
// ERROR_INVALID_PARAMETER) or an answer that names none of the three.
enum class ElevationType : std::uint32_t { NoSplitToken = 0, Default = 1, Full = 2, Limited = 3 };

// The character that marks a copy whose elevation is settled: it was started
// with full rights, or by a copy that has already asked for them. The
// command-line parser takes no mode from it.
constexpr char16_t kElevationMarker = u'+';
// The command-mode tail with the marker: the elevated copy's, and that of the
// copies a command dialog starts with Refresh.
constexpr const char16_t* kMarkedCommandModeTail = u" c+";

// ERROR_CANCELLED: the user answered No to the consent prompt.
constexpr std::uint32_t kStatusCancelled = 1223;

class ElevationPlatform {
 public:
  virtual ~ElevationPlatform() = default;
  // Reads the elevation type of this process's token into `type`; false with
  // the failing call's code for LastError().
  virtual bool ReadElevationType(std::uint32_t& type) = 0;
  // Starts `file` with `parameters` in `directory` with full rights (the
  // shell's "runas" verb), not waiting for it; false with the code for
  // LastError().
  virtual bool StartElevated(const char16_t* file, const char16_t* parameters, const char16_t* directory) = 0;
  virtual std::uint32_t LastError() = 0;
};

// The type a query gave: `value` when it was read and is one of the three
// types, NoSplitToken otherwise.
ElevationType ElevationTypeOf(bool read, std::uint32_t value);

}  // namespace tvn
