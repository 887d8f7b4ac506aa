// ParseDecimalNarrow, ParseDecimal and ParseInt32 against a plain reference of
// the rule they document: only the first maxChars characters count; leading
// white space (tab, line feed, vertical tab, form feed, carriage return,
// blank) is skipped; one optional sign; digits up to the first other
// character; no digits give 0; values beyond the 64-bit range saturate.
//
// Input: byte 0 is maxChars (0..255; 255 means the default of 19), byte 1
// selects narrow (even) or UTF-16 (odd) text, the rest is the text.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "base/text.h"
#include "fuzz_util.h"

namespace {

bool IsBlank(std::uint32_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(std::uint32_t c) { return c >= '0' && c <= '9'; }

// Works on code values so that the same reference serves narrow and UTF-16.
std::int64_t Reference(const std::vector<std::uint32_t>& units, std::size_t maxChars) {
  std::size_t end = units.size() < maxChars ? units.size() : maxChars;
  std::size_t i = 0;
  while (i < end && IsBlank(units[i])) ++i;
  bool negative = false;
  if (i < end && (units[i] == '+' || units[i] == '-')) {
    negative = units[i] == '-';
    ++i;
  }
  // The magnitude, held exactly up to 2^63 and capped there. Plain 64-bit
  // arithmetic, so that the reference also builds as 32-bit code: the next
  // digit would pass the cap exactly when magnitude * 10 + digit > cap.
  const std::uint64_t cap = std::uint64_t{1} << 63;
  std::uint64_t magnitude = 0;
  for (; i < end && IsDigit(units[i]); ++i) {
    const std::uint64_t digit = units[i] - '0';
    magnitude = magnitude > (cap - digit) / 10 ? cap : magnitude * 10 + digit;
  }
  if (negative) {
    if (magnitude >= cap) return std::numeric_limits<std::int64_t>::min();
    return -static_cast<std::int64_t>(magnitude);
  }
  if (magnitude >= cap) return std::numeric_limits<std::int64_t>::max();
  return static_cast<std::int64_t>(magnitude);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const bool useDefault = data[0] == 255;
  const std::size_t maxChars = useDefault ? 19 : data[0];
  const bool wide = (data[1] & 1) != 0;
  data += 2;
  size -= 2;

  if (!wide) {
    std::string narrow(reinterpret_cast<const char*>(data), size);
    std::vector<std::uint32_t> units;
    for (char c : narrow) units.push_back(static_cast<unsigned char>(c));
    std::int64_t got = useDefault ? tvn::ParseDecimalNarrow(narrow) : tvn::ParseDecimalNarrow(narrow, maxChars);
    FUZZ_CHECK(got == Reference(units, maxChars));
    return 0;
  }

  tvn::Text text = tvn::fuzz::UnitsFromBytes(data, size);
  std::vector<std::uint32_t> units(text.begin(), text.end());
  std::int64_t expected = Reference(units, maxChars);
  std::int64_t got = useDefault ? tvn::ParseDecimal(text) : tvn::ParseDecimal(text, maxChars);
  FUZZ_CHECK(got == expected);
  if (useDefault) {
    std::int32_t low = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(expected)));
    FUZZ_CHECK(tvn::ParseInt32(text) == low);
  }
  return 0;
}
