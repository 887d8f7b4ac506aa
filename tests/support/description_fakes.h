// Test doubles for the description reader and loader, shared by the native
// tests, the fuzz targets, the benchmarks and the Windows-side tests: an
// in-memory key, a counting handle factory, and the reader of the expected
// registry dumps, which fills the in-memory key with the real default
// description.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/text.h"
#include "description/loader.h"
#include "description/reader.h"

#ifndef TVN_EXPECTED_DIR
#error "TVN_EXPECTED_DIR must name the folder of the expected registry dumps (tests/wine/expected)"
#endif

namespace tvn {
namespace testing_fakes {

// A key held in memory: value name -> raw data bytes.
class MemorySource : public DescriptionSource {
 public:
  // A REG_SZ-like text value, stored with its terminator.
  void SetText(const std::string& name, TextView text) {
    std::vector<std::uint8_t> bytes((text.size() + 1) * 2, 0);
    std::memcpy(bytes.data(), text.data(), text.size() * 2);
    values_[FromUtf8(name)] = bytes;
  }
  void SetUtf8(const std::string& name, const std::string& utf8) { SetText(name, FromUtf8(utf8)); }
  void SetNumber(const std::string& name, std::int64_t n) { SetText(name, FormatNumber(n)); }
  // Raw data exactly as given (odd byte counts, no terminator, oversize data).
  void SetBytes(const std::string& name, const std::vector<std::uint8_t>& bytes) { values_[FromUtf8(name)] = bytes; }
  void SetUnterminated(const std::string& name, TextView text) {
    std::vector<std::uint8_t> bytes(text.size() * 2);
    std::memcpy(bytes.data(), text.data(), bytes.size());
    values_[FromUtf8(name)] = bytes;
  }
  const std::map<Text, std::vector<std::uint8_t>>& values() const { return values_; }

  std::uint32_t OpenKey(TextView subKey) override {
    ++opens;
    openedKey = Text(subKey);
    if (openStatus != 0) return openStatus;
    open = true;
    return 0;
  }
  std::uint32_t QueryValue(TextView name, std::uint8_t* buffer, std::size_t capacity, std::size_t& bytes) override {
    if (logQueries) queries.push_back(ToUtf8(name));
    // Whatever the reader finds past the reported bytes is poison, so that
    // reading beyond the data shows.
    if (poison >= 0) std::memset(buffer, poison, capacity);
    bytes = 0;
    if (!open) return kStatusInvalidHandle;
    auto it = values_.find(Text(name));
    if (it == values_.end()) return kStatusFileNotFound;
    if (it->second.size() > capacity) {
      if (!overreport) return kStatusMoreData;
      // A misbehaving source: copies what fits but reports the full size.
      std::memcpy(buffer, it->second.data(), capacity);
      bytes = it->second.size();
      return 0;
    }
    if (!it->second.empty()) std::memcpy(buffer, it->second.data(), it->second.size());
    bytes = it->second.size();
    return 0;
  }
  std::uint32_t CloseKey() override {
    ++closes;
    if (!open) ++closesUnopened;
    open = false;
    return closeStatus;
  }

  std::uint32_t openStatus = 0;
  std::uint32_t closeStatus = 0;
  bool overreport = false;
  bool logQueries = true;  // off for descriptions with thousands of values
  int poison = -1;         // a byte value fills the whole buffer before each query
  bool open = false;
  int opens = 0;
  int closes = 0;
  int closesUnopened = 0;
  Text openedKey;
  std::vector<std::string> queries;

 private:
  std::map<Text, std::vector<std::uint8_t>> values_;
};

// Counts every handle made and destroyed and notices misuse. Icons whose file
// is empty or named "missing.dll" are not made (0), as the platform gives none.
class CountingFactory : public HandleFactory {
 public:
  IconHandle MakeIcon(TextView file, std::int32_t index) override {
    iconRequests.push_back(ToUtf8(file) + "#" + std::to_string(index));
    if (file.empty() || file == u"missing.dll") return 0;
    IconHandle h = next_++;
    liveIcons.insert(h);
    icons[h] = ToUtf8(file) + "#" + std::to_string(index);
    ++iconsMade;
    return h;
  }
  void DestroyIcon(IconHandle icon) override {
    if (liveIcons.erase(icon) == 0) {
      ++misuse;
    } else {
      ++iconsDestroyed;
    }
  }
  FontHandle MakeFont(const FontSpec& spec) override {
    FontHandle h = next_++;
    liveFonts.insert(h);
    fonts[h] = spec;
    ++fontsMade;
    return h;
  }
  void DeleteFont(FontHandle font) override {
    if (liveFonts.erase(font) == 0) {
      ++misuse;
    } else {
      ++fontsDeleted;
    }
  }

  std::string IconOf(IconHandle h) const {
    auto it = icons.find(h);
    return it == icons.end() ? std::string() : it->second;
  }
  const FontSpec* FontOf(FontHandle h) const {
    auto it = fonts.find(h);
    return it == fonts.end() ? nullptr : &it->second;
  }

  std::set<IconHandle> liveIcons;
  std::set<FontHandle> liveFonts;
  std::map<IconHandle, std::string> icons;  // every icon ever made
  std::map<FontHandle, FontSpec> fonts;     // every font ever made
  std::vector<std::string> iconRequests;
  int iconsMade = 0, iconsDestroyed = 0, fontsMade = 0, fontsDeleted = 0, misuse = 0;

 private:
  std::uintptr_t next_ = 0x1000;
};

// ---- The expected registry dumps -----------------------------------------
//
// tests/wine/expected/description_d1.txt and description_d2.txt hold what the
// real description script writes for d1 and d2 on version 6.1; the
// Windows-side script tests check them against the script itself. The tests
// of the loader read them into a MemorySource, so that they load the real
// description. TVN_EXPECTED_DIR, a compile definition, names their folder.

constexpr const char* kLogonDump = "description_d1.txt";    // log-on and help values
constexpr const char* kCommandDump = "description_d2.txt";  // command and help values

// What the dumps' placeholders stand for: ${CAPTION} is the system's product
// name, ${USER} the user name.
struct DumpSystem {
  Text caption = u"Microsoft Windows 7";
  Text user = u"tester";
};

struct DumpValue {
  Text name;
  Text value;
};

inline std::string ExpectedDumpPath(const std::string& file) { return std::string(TVN_EXPECTED_DIR) + "/" + file; }

// Parses the text of one dump: "name=value" lines in the order the script
// writes them, lines beginning with "#" are comments, CR LF line ends count as
// LF. In a value \r, \n and \\ stand for a carriage return, a line feed and a
// backslash, ${CAPTION} and ${USER} for the texts of `system`. False with a
// message in `error` for a malformed line, an unknown escape or placeholder,
// or a dump without values.
inline bool ParseDump(const std::string& content, const DumpSystem& system, std::vector<DumpValue>& values,
                      std::string& error) {
  values.clear();
  std::size_t lineNumber = 0;
  for (std::size_t start = 0; start < content.size();) {
    std::size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    std::size_t equals = line.find('=');
    if (equals == std::string::npos || equals == 0) {
      error = where + "expected name=value: " + line;
      return false;
    }
    std::string value;
    for (std::size_t i = equals + 1; i < line.size(); ++i) {
      if (line[i] != '\\') {
        value += line[i];
        continue;
      }
      char next = i + 1 < line.size() ? line[++i] : '\0';
      if (next == 'r') {
        value += '\r';
      } else if (next == 'n') {
        value += '\n';
      } else if (next == '\\') {
        value += '\\';
      } else {
        error = where + "unknown escape in " + line;
        return false;
      }
    }
    Text text = FromUtf8(value);
    for (std::size_t at = text.find(u"${"); at != Text::npos; at = text.find(u"${", at)) {
      const bool caption = text.compare(at, 10, u"${CAPTION}") == 0;
      if (!caption && text.compare(at, 7, u"${USER}") != 0) {
        error = where + "unknown placeholder in " + line;
        return false;
      }
      const Text& with = caption ? system.caption : system.user;
      text.replace(at, caption ? 10 : 7, with);
      at += with.size();
    }
    values.push_back(DumpValue{FromUtf8(line.substr(0, equals)), text});
  }
  if (values.empty()) {
    error = "no values";
    return false;
  }
  return true;
}

// Reads tests/wine/expected/<file>; false with a message in `error` when the
// file cannot be read or ParseDump refuses it.
inline bool ReadDump(const std::string& file, const DumpSystem& system, std::vector<DumpValue>& values,
                     std::string& error) {
  const std::string path = ExpectedDumpPath(file);
  std::ifstream in(path.c_str(), std::ios::binary);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  std::ostringstream content;
  content << in.rdbuf();
  if (!ParseDump(content.str(), system, values, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

// Writes the values of tests/wine/expected/<file> into the key; a later value
// of the same name replaces the earlier one, as in the registry.
inline bool LoadDump(MemorySource& key, const std::string& file, std::string& error,
                     const DumpSystem& system = DumpSystem()) {
  std::vector<DumpValue> values;
  if (!ReadDump(file, system, values, error)) return false;
  for (const DumpValue& value : values) key.SetText(ToUtf8(value.name), value.value);
  return true;
}

}  // namespace testing_fakes
}  // namespace tvn
