// A small JSON writer for the test tools: UTF-16 text in, UTF-8 JSON out.
//
// Quotes, backslashes and control characters are escaped; a surrogate pair
// becomes one four-byte UTF-8 sequence, and a lone surrogate is written as a
// \uXXXX escape so that no text the tools read can make the output invalid.
// The output is compact (no blanks), so its texts are stable enough for
// substring checks.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

namespace tvn_tools {

// Appends `units` UTF-16 units of `text` to `out` as a JSON string literal.
inline void AppendJsonString(std::string& out, const wchar_t* text, std::size_t units) {
  static const char kHex[] = "0123456789abcdef";
  auto escape_unit = [&out](unsigned unit) {
    out += "\\u";
    out += kHex[(unit >> 12) & 0xF];
    out += kHex[(unit >> 8) & 0xF];
    out += kHex[(unit >> 4) & 0xF];
    out += kHex[unit & 0xF];
  };
  out += '"';
  for (std::size_t i = 0; i < units; ++i) {
    unsigned c = static_cast<unsigned>(text[i]) & 0xFFFFu;
    switch (c) {
      case '"': out += "\\\""; continue;
      case '\\': out += "\\\\"; continue;
      case '\b': out += "\\b"; continue;
      case '\f': out += "\\f"; continue;
      case '\n': out += "\\n"; continue;
      case '\r': out += "\\r"; continue;
      case '\t': out += "\\t"; continue;
      default: break;
    }
    if (c < 0x20) {
      escape_unit(c);
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units &&
               (static_cast<unsigned>(text[i + 1]) & 0xFFFFu) >= 0xDC00 &&
               (static_cast<unsigned>(text[i + 1]) & 0xFFFFu) <= 0xDFFF) {
      unsigned low = static_cast<unsigned>(text[i + 1]) & 0xFFFFu;
      unsigned cp = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      escape_unit(c);  // lone surrogate
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  out += '"';
}

class JsonWriter {
 public:
  void BeginObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void BeginArray() { Open('['); }
  void EndArray() { Close(']'); }

  void Key(const char* name) {
    Separate();
    out_ += '"';
    out_ += name;  // keys are fixed ASCII names
    out_ += "\":";
    after_key_ = true;
  }

  void String(const wchar_t* text, std::size_t units) {
    Separate();
    AppendJsonString(out_, text, units);
  }
  void String(const std::wstring& text) { String(text.data(), text.size()); }
  void Ascii(const char* text) {
    Separate();
    out_ += '"';
    out_ += text;
    out_ += '"';
  }
  void Int(long long value) {
    Separate();
    out_ += std::to_string(value);
  }
  void UInt(unsigned long long value) {
    Separate();
    out_ += std::to_string(value);
  }
  void Bool(bool value) {
    Separate();
    out_ += value ? "true" : "false";
  }
  void Null() {
    Separate();
    out_ += "null";
  }
  // A handle or pointer value as a string "0x..." (lower-case hex digits).
  void Hex(std::uint64_t value) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(value));
    Ascii(buffer);
  }
  void IntArray(std::initializer_list<long long> values) {
    BeginArray();
    for (long long v : values) Int(v);
    EndArray();
  }

  const std::string& str() const { return out_; }

 private:
  void Open(char bracket) {
    Separate();
    out_ += bracket;
    first_.push_back(true);
  }
  void Close(char bracket) {
    out_ += bracket;
    if (!first_.empty()) first_.pop_back();
  }
  void Separate() {
    if (after_key_) {
      after_key_ = false;
      return;
    }
    if (!first_.empty()) {
      if (!first_.back()) out_ += ',';
      first_.back() = false;
    }
  }

  std::string out_;
  std::vector<bool> first_;
  bool after_key_ = false;
};

}  // namespace tvn_tools
