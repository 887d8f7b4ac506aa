// SplitCommandText on arbitrary UTF-16 text.
#include <cstddef>
#include <cstdint>

#include "fuzz_util.h"
#include "launching/command_split.h"

using tvn::Text;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Text command = tvn::fuzz::UnitsFromBytes(data, size);
  tvn::CommandSplit split = tvn::SplitCommandText(command);

  FUZZ_CHECK(split.file.find(u'\n') == Text::npos);
  FUZZ_CHECK(split.parameters.find(u'\n') == Text::npos);
  FUZZ_CHECK(split.file.find(u'"') == Text::npos);
  FUZZ_CHECK(split.file.size() <= command.size());
  FUZZ_CHECK(split.parameters.size() <= command.size());
  FUZZ_CHECK(split.file.size() + split.parameters.size() <= command.size());

  // Once the file part has ended every other character is kept as typed: the
  // parameters are a suffix of the text without its line feeds.
  Text withoutLineFeeds;
  for (char16_t c : command) {
    if (c != u'\n') withoutLineFeeds.push_back(c);
  }
  FUZZ_CHECK(split.parameters.size() <= withoutLineFeeds.size());
  FUZZ_CHECK(
      withoutLineFeeds.compare(withoutLineFeeds.size() - split.parameters.size(), Text::npos, split.parameters) == 0);
  // Nothing is invented: every file character appears in the text in order.
  std::size_t at = 0;
  for (char16_t c : split.file) {
    while (at < withoutLineFeeds.size() && withoutLineFeeds[at] != c) ++at;
    FUZZ_CHECK(at < withoutLineFeeds.size());
    ++at;
  }
  // A text without blanks, tabs or quotes is all file.
  if (withoutLineFeeds.find_first_of(u" \t\"") == Text::npos) {
    FUZZ_CHECK(split.file == withoutLineFeeds);
    FUZZ_CHECK(split.parameters.empty());
  }
  return 0;
}
