#include "launching/elevation.h"

namespace tvn {

ElevationType ElevationTypeOf(bool read, std::uint32_t value) {
  if (!read) return ElevationType::NoSplitToken;
  switch (value) {
    case 1: return ElevationType::Default;
    case 2: return ElevationType::Full;
    case 3: return ElevationType::Limited;
    default: return ElevationType::NoSplitToken;
  }
}

}  // namespace tvn
