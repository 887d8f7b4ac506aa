// UTF-16 text helpers shared by the portable core.
//
// The core never includes <windows.h>. Text is UTF-16 (char16_t), so buffer
// limits counted in units behave exactly as they do with WCHAR on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tvn {

using Text = std::u16string;
using TextView = std::u16string_view;

// Capacities of the fixed text buffers, in UTF-16 units, terminator included.
constexpr std::size_t kCaptionUnits = 512;   // captions, labels, titles, credentials
constexpr std::size_t kPathUnits = 1024;     // paths, disclaimer, command-line arguments
constexpr std::size_t kCommandUnits = 2048;  // command lines

// Widens 7-bit ASCII (for fixed texts written in the sources).
Text FromAscii(std::string_view ascii);

// UTF-8 <-> UTF-16 for tests and diagnostics (invalid input is replaced, never rejected).
Text FromUtf8(std::string_view utf8);
std::string ToUtf8(TextView text);

// The text as it would stand in a buffer of `units` units: at most units - 1
// characters, the rest cut. A capacity of 0 gives the empty text.
Text Truncated(TextView text, std::size_t units);

// Replaces every "%s" and "%d" of `format` in order with the given pieces,
// like swprintf with a fixed buffer: the result is cut to units - 1 characters.
// "%%" gives one percent sign. Missing arguments format as nothing.
Text FormatText(TextView format, std::size_t units, std::initializer_list<TextView> strings);
Text FormatNumber(std::int64_t value);

// Reads a decimal integer the way the C run-time's atoi reads a narrow text:
// leading white space (tab, line feed, vertical tab, form feed, carriage
// return, blank) is skipped, one optional sign is taken, then digits up to the
// first other character. No digits give 0. Values beyond the 64-bit range
// saturate. Only the first `maxChars` characters are looked at (the number
// buffers of the tool hold 19 characters and a terminator).
std::int64_t ParseDecimalNarrow(std::string_view narrow, std::size_t maxChars = 19);

// The same for UTF-16 text after conversion to a narrow code page: characters
// above 0x7F never convert to an ASCII digit, sign or white space in the code
// pages the tool runs under, so they end the number like any other character.
std::int64_t ParseDecimal(TextView text, std::size_t maxChars = 19);

// The conversion of a number text as the tool uses it for 32-bit fields:
// the low 32 bits of ParseDecimal, as a signed number.
std::int32_t ParseInt32(TextView text);

}  // namespace tvn
