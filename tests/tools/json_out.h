// A small JSON writer for the test tools: UTF-16 text in, UTF-8 JSON out.
//
// Quotes, backslashes and control characters are escaped; a surrogate pair
// becomes one four-byte UTF-8 sequence, and a lone surrogate is written as a
// \uXXXX escape so that no text the tools read can make the output invalid.
// The output is compact (no blanks), so its texts are stable enough for
// substring checks. Every call returns the writer, so that a member is one
// line: json.Key("pid").UInt(pid).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <initializer_list>
#include <string>
#include <vector>

namespace tvn_tools {

// Appends `units` UTF-16 units of `text` to `out` as a JSON string literal.
inline void AppendJsonString(std::string& out, const wchar_t* text, std::size_t units) {
  static const char kHex[] = "0123456789abcdef";
  out += '"';
  for (std::size_t i = 0; i < units; ++i) {
    unsigned c = static_cast<unsigned>(text[i]) & 0xFFFFu;
    const unsigned next = i + 1 < units ? static_cast<unsigned>(text[i + 1]) & 0xFFFFu : 0;
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
    if (c >= 0xD800 && c <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
      ++i;
    } else if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF)) {  // other controls, lone surrogates
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 0xF];
      continue;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    static const unsigned kLead[] = {0, 0xC0, 0xE0, 0xF0};  // by the number of bytes after the first
    const int tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    out += static_cast<char>(kLead[tail] | (c >> (6 * tail)));
    for (int k = tail - 1; k >= 0; --k) out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
  }
  out += '"';
}

class JsonWriter {
 public:
  JsonWriter& BeginObject() { return Open('{'); }
  JsonWriter& EndObject() { return Close('}'); }
  JsonWriter& BeginArray() { return Open('['); }
  JsonWriter& EndArray() { return Close(']'); }

  // The key of the next value; keys are fixed ASCII names.
  JsonWriter& Key(const char* name) {
    Separate();
    out_ += '"';
    out_ += name;
    out_ += "\":";
    after_key_ = true;
    return *this;
  }

  JsonWriter& String(const wchar_t* text, std::size_t units) {
    Separate();
    AppendJsonString(out_, text, units);
    return *this;
  }
  JsonWriter& String(const std::wstring& text) { return String(text.data(), text.size()); }
  // A zero-ended text; null for a null pointer.
  JsonWriter& String(const wchar_t* text) { return text ? String(text, wcslen(text)) : Null(); }
  JsonWriter& Ascii(const char* text) { return Raw("\"" + std::string(text) + "\""); }
  JsonWriter& Int(long long value) { return Raw(std::to_string(value)); }
  JsonWriter& UInt(unsigned long long value) { return Raw(std::to_string(value)); }
  JsonWriter& Bool(bool value) { return Raw(value ? "true" : "false"); }
  JsonWriter& Null() { return Raw("null"); }
  // A handle or pointer value as a string "0x..." (lower-case hex digits).
  JsonWriter& Hex(std::uint64_t value) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(value));
    return Ascii(buffer);
  }
  // A handle as Hex, or null.
  JsonWriter& Handle(const void* handle) { return handle ? Hex(reinterpret_cast<std::uintptr_t>(handle)) : Null(); }
  // The value when it is known, else null.
  JsonWriter& UIntOrNull(bool known, unsigned long long value) { return known ? UInt(value) : Null(); }
  JsonWriter& BoolOrNull(bool known, bool value) { return known ? Bool(value) : Null(); }
  JsonWriter& IntArray(std::initializer_list<long long> values) {
    BeginArray();
    for (long long v : values) Int(v);
    return EndArray();
  }

  const std::string& str() const { return out_; }

 private:
  JsonWriter& Raw(const std::string& text) {
    Separate();
    out_ += text;
    return *this;
  }
  JsonWriter& Open(char bracket) {
    Separate();
    out_ += bracket;
    first_.push_back(true);
    return *this;
  }
  JsonWriter& Close(char bracket) {
    out_ += bracket;
    if (!first_.empty()) first_.pop_back();
    return *this;
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
