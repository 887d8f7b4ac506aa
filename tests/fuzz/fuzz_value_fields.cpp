// The reader's Read walk on arbitrary value data: any length (odd counts and
// more than 2048 bytes included), any units, from a well-behaved source and
// from one that reports more bytes than it copied.
//
// Input: byte 0 selects the source's behaviour, the rest is the value's data.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "description/reader.h"
#include "fuzz_util.h"
#include "tests/support/description_fakes.h"

using tvn::Text;
using tvn::TextView;

namespace {

constexpr std::uint8_t kPoison = 0xAB;  // fills the buffer past the data

// The documented walk, written plainly: whole units only, '#' starts the next
// field, at most ten fields, a field's text ends at its first NUL and holds at
// most 1023 units (its buffer keeps room for the terminator).
std::vector<Text> ReferenceFields(const std::uint8_t* data, std::size_t size) {
  std::vector<Text> fields(tvn::kFieldCount);
  std::vector<bool> ended(tvn::kFieldCount, false);
  std::size_t current = 0;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit == u'#') {
      if (++current == tvn::kFieldCount) break;
      continue;
    }
    if (unit == 0) ended[current] = true;
    if (!ended[current] && fields[current].size() < tvn::kFieldUnits - 1) fields[current].push_back(unit);
  }
  return fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t inputSize) {
  if (inputSize == 0) return 0;
  const bool overreport = (input[0] & 1) != 0;
  const std::uint8_t* data = input + 1;
  const std::size_t size = inputSize - 1;

  // Every value the walk and the decoders read holds the input's data.
  tvn::testing_fakes::MemorySource source;
  source.overreport = overreport;
  source.poison = kPoison;
  const std::vector<std::uint8_t> bytes(data, data + size);
  for (const char* name : {"0#3", "0#7", "0#0", "0#20"}) source.SetBytes(name, bytes);
  tvn::DescriptionReader reader(source);
  FUZZ_CHECK(reader.Open(u"Software\\TVN\\1"));

  for (int round = 0; round < 2; ++round) {  // a second read must not see the first
    bool ok = reader.Read(u"0#3");
    if (size > tvn::kValueBytes) {
      FUZZ_CHECK(!ok);
      FUZZ_CHECK(reader.lastError() == tvn::kStatusMoreData);
      for (std::size_t i = 0; i < tvn::kFieldCount; ++i) FUZZ_CHECK(reader.Field(i).empty());
      continue;
    }
    FUZZ_CHECK(ok);
    FUZZ_CHECK(reader.lastError() == tvn::kStatusSuccess);
    std::vector<Text> expected = ReferenceFields(data, size);
    std::size_t total = 0;
    for (std::size_t i = 0; i < tvn::kFieldCount; ++i) {
      TextView field = reader.Field(i);
      FUZZ_CHECK(field.size() < tvn::kFieldUnits);
      FUZZ_CHECK(field.find(u'#') == TextView::npos);
      FUZZ_CHECK(field == TextView(expected[i]));
      total += field.size();
    }
    FUZZ_CHECK(total <= size / 2);
    FUZZ_CHECK(reader.Field(tvn::kFieldCount).empty());
  }
  // The decoders on the same data never fail, whatever it holds.
  tvn::FontSpec font = tvn::DecodeFont(reader, u"0#7");
  FUZZ_CHECK(font.weight == tvn::kFontWeightNormal || font.weight == tvn::kFontWeightBold);
  FUZZ_CHECK(font.face.size() < tvn::kFieldUnits);
  tvn::IconSpec icon = tvn::DecodeIcon(reader, u"0#0");
  FUZZ_CHECK(icon.present == (size <= tvn::kValueBytes));
  (void)tvn::DecodeInteger(reader, u"0#20");
  FUZZ_CHECK(reader.Close());
  return 0;
}
