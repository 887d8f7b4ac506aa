// ParseCommandLine and StripProgramName on arbitrary UTF-16 text.
#include <cstddef>
#include <cstdint>

#include "fuzz_util.h"
#include "launcher/command_line.h"

using tvn::Text;
using tvn::TextView;

namespace {

void CheckParse(TextView text) {
  tvn::CommandLineOptions options = tvn::ParseCommandLine(text);
  FUZZ_CHECK(options.uiMode == tvn::UiMode::Logon || options.uiMode == tvn::UiMode::Commands ||
             options.uiMode == tvn::UiMode::Diagnostics);
  FUZZ_CHECK(options.toolMode == tvn::ToolMode::None || options.toolMode == tvn::ToolMode::ExtractResource ||
             options.toolMode == tvn::ToolMode::UpdateResource);

  std::size_t quotes = 0;
  for (char16_t c : text) quotes += c == u'"';
  std::size_t total = 0;
  for (std::size_t i = 0; i < options.arguments.size(); ++i) {
    const Text& argument = options.arguments[i];
    FUZZ_CHECK(argument.size() <= tvn::kArgumentChars);
    // Only a full argument can have overflowed.
    FUZZ_CHECK(!options.overflowed[i] || argument.size() == tvn::kArgumentChars);
    FUZZ_CHECK(argument.find(u'"') == Text::npos);  // quotes delimit, they are never kept
    total += argument.size();
  }
  FUZZ_CHECK(total + quotes <= text.size());
  const std::uint32_t refused = tvn::RefusedArgumentError(options);
  FUZZ_CHECK(refused == 0 || refused == tvn::kFilenameTooLong || refused == tvn::kBufferTooSmall);
  if (options.toolMode == tvn::ToolMode::None) FUZZ_CHECK(refused == 0);
  if (quotes == 0) {
    for (const Text& argument : options.arguments) FUZZ_CHECK(argument.empty());
  }
  // Without any quote the last mode letter decides, read independently here.
  if (quotes == 0) {
    tvn::UiMode ui = tvn::UiMode::Logon;
    tvn::ToolMode tool = tvn::ToolMode::None;
    for (char16_t c : text) {
      if (c == u'a') ui = tvn::UiMode::Logon;
      if (c == u'c') ui = tvn::UiMode::Commands;
      if (c == u't') ui = tvn::UiMode::Diagnostics;
      if (c == u'e') tool = tvn::ToolMode::ExtractResource;
      if (c == u'i') tool = tvn::ToolMode::UpdateResource;
    }
    FUZZ_CHECK(options.uiMode == ui);
    FUZZ_CHECK(options.toolMode == tool);
  }
}

void CheckStrip(TextView line) {
  TextView rest = tvn::StripProgramName(line);
  FUZZ_CHECK(rest.size() <= line.size());
  // The rest is a suffix of the line, in the line's own storage.
  FUZZ_CHECK(rest.empty() || rest.data() == line.data() + (line.size() - rest.size()));
  // Leading characters 1..32 are always skipped.
  FUZZ_CHECK(rest.empty() || rest[0] == 0 || rest[0] > 32);
  // A line that begins with a blank loses only its leading white space.
  if (!line.empty() && line[0] == u' ') {
    std::size_t skipped = 0;
    while (skipped < line.size() && line[skipped] >= 1 && line[skipped] <= 32) ++skipped;
    FUZZ_CHECK(rest.size() == line.size() - skipped);
  }
  CheckParse(rest);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Text text = tvn::fuzz::UnitsFromBytes(data, size);
  CheckParse(text);
  CheckStrip(text);
  return 0;
}
