#include "base/text.h"

#include <limits>

namespace tvn {

Text FromAscii(std::string_view ascii) {
  Text out;
  out.reserve(ascii.size());
  for (char c : ascii) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c) & 0x7F));
  return out;
}

Text FromUtf8(std::string_view utf8) {
  Text out;
  std::size_t i = 0;
  while (i < utf8.size()) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    std::uint32_t cp = 0xFFFD;
    std::size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0) {
      len = 2;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
    }
    if (len > 1) {
      if (i + len > utf8.size()) {
        len = 1;
      } else {
        cp = c & (0x7F >> len);
        for (std::size_t k = 1; k < len; ++k) {
          unsigned char cc = static_cast<unsigned char>(utf8[i + k]);
          if ((cc & 0xC0) != 0x80) {
            cp = 0xFFFD;
            len = k;
            break;
          }
          cp = (cp << 6) | (cc & 0x3F);
        }
      }
    }
    if (cp >= 0x10000 && cp <= 0x10FFFF) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else if (cp > 0x10FFFF) {
      out.push_back(u'\xFFFD');
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string ToUtf8(TextView text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

Text Truncated(TextView text, std::size_t units) {
  if (units == 0) return Text();
  if (text.size() > units - 1) text = text.substr(0, units - 1);
  return Text(text);
}

Text FormatText(TextView format, std::size_t units, std::initializer_list<TextView> strings) {
  Text out;
  auto next = strings.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    char16_t c = format[i];
    if (c == u'%' && i + 1 < format.size()) {
      char16_t spec = format[i + 1];
      if (spec == u's' || spec == u'd') {
        if (next != strings.end()) out.append(*next++);
        ++i;
        continue;
      }
      if (spec == u'%') {
        out.push_back(u'%');
        ++i;
        continue;
      }
    }
    out.push_back(c);
  }
  return Truncated(out, units);
}

Text FormatNumber(std::int64_t value) { return FromAscii(std::to_string(value)); }

std::int64_t ParseDecimalNarrow(std::string_view narrow, std::size_t maxChars) {
  if (narrow.size() > maxChars) narrow = narrow.substr(0, maxChars);
  std::size_t i = 0;
  auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (i < narrow.size() && isSpace(narrow[i])) ++i;
  bool negative = false;
  if (i < narrow.size() && (narrow[i] == '+' || narrow[i] == '-')) {
    negative = narrow[i] == '-';
    ++i;
  }
  // Accumulate as a negative number so that the 64-bit minimum is reachable.
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  std::int64_t value = 0;
  bool saturated = false;
  for (; i < narrow.size() && narrow[i] >= '0' && narrow[i] <= '9'; ++i) {
    int digit = narrow[i] - '0';
    if (saturated) continue;
    if (value < (kMin + digit) / 10) {
      saturated = true;
      value = kMin;
      continue;
    }
    value = value * 10 - digit;
  }
  if (negative) return value;
  if (value == kMin) return std::numeric_limits<std::int64_t>::max();
  return -value;
}

std::int64_t ParseDecimal(TextView text, std::size_t maxChars) {
  std::string narrow;
  narrow.reserve(text.size() < maxChars ? text.size() : maxChars);
  for (std::size_t i = 0; i < text.size() && i < maxChars; ++i) {
    char16_t c = text[i];
    narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  }
  return ParseDecimalNarrow(narrow, maxChars);
}

std::int32_t ParseInt32(TextView text) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(ParseDecimal(text))));
}

}  // namespace tvn
