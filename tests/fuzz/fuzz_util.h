// Helpers shared by the fuzz targets: input bytes as UTF-16 text, and a check
// that stops the run with a message (libFuzzer then saves the input).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "base/text.h"

#define FUZZ_CHECK(condition)                                                                \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (0)

namespace tvn {
namespace fuzz {

// Little-endian pairs of bytes as UTF-16 units; an odd last byte is dropped.
inline Text UnitsFromBytes(const std::uint8_t* data, std::size_t size) {
  Text text;
  text.reserve(size / 2);
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  return text;
}

}  // namespace fuzz
}  // namespace tvn
