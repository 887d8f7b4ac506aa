#include "tests/wine/support/records.h"

#include "tests/wine/support/windows.h"

namespace tvn_test {

std::wstring RecorderPath() { return BesideModule(L"tvn_record.exe"); }

bool Record::Has(const char* key) const { return Find(key) != std::string::npos; }

std::wstring Record::Text(const char* key) const {
  const std::size_t at = Find(key);
  std::wstring out;
  if (at != std::string::npos && at < line_.size() && line_[at] == '"') ReadString(at, out);
  return out;
}

long long Record::Number(const char* key) const {
  std::size_t at = Find(key);
  if (at == std::string::npos || at >= line_.size()) return kNoNumber;
  const bool negative = line_[at] == '-';
  if (negative) ++at;
  if (at >= line_.size() || line_[at] < '0' || line_[at] > '9') return kNoNumber;
  long long value = 0;
  for (; at < line_.size() && line_[at] >= '0' && line_[at] <= '9'; ++at) value = value * 10 + (line_[at] - '0');
  return negative ? -value : value;
}

std::vector<std::wstring> Record::List(const char* key) const {
  std::vector<std::wstring> out;
  std::size_t at = Find(key);
  if (at == std::string::npos || at >= line_.size() || line_[at] != '[') return out;
  ++at;
  while (at < line_.size() && line_[at] == '"') {
    std::wstring item;
    at = ReadString(at, item);
    out.push_back(item);
    if (at < line_.size() && line_[at] == ',') ++at;
  }
  return out;
}

std::size_t Record::Find(const char* key) const {
  const std::string pattern = std::string("\"") + key + "\":";
  const std::size_t at = line_.find(pattern);
  return at == std::string::npos ? at : at + pattern.size();
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

// Reads the JSON string whose opening quote is at `at`; returns the index
// after its closing quote. A \uXXXX escape stands for one UTF-16 unit, so a
// lone surrogate comes back as it was.
std::size_t Record::ReadString(std::size_t at, std::wstring& out) const {
  std::string run;  // UTF-8 bytes not yet converted
  for (++at; at < line_.size() && line_[at] != '"'; ++at) {
    const char c = line_[at];
    if (c != '\\') {
      run.push_back(c);
      continue;
    }
    if (++at >= line_.size()) break;
    const char escaped = line_[at];
    if (escaped != 'u') {
      run.push_back(escaped == 'n'   ? '\n'
                    : escaped == 'r' ? '\r'
                    : escaped == 't' ? '\t'
                    : escaped == 'b' ? '\b'
                    : escaped == 'f' ? '\f'
                                     : escaped);
      continue;
    }
    unsigned unit = 0;
    for (int i = 1; i <= 4; ++i) {
      const int digit = at + i < line_.size() ? HexDigit(line_[at + i]) : -1;
      if (digit < 0) {  // a cut or broken escape ends the text
        out += WideFromUtf8(run);
        return line_.size();
      }
      unit = unit * 16 + static_cast<unsigned>(digit);
    }
    at += 4;
    out += WideFromUtf8(run);
    run.clear();
    out.push_back(static_cast<wchar_t>(unit));
  }
  out += WideFromUtf8(run);
  return at + 1;
}

std::vector<Record> ReadRecords(const std::wstring& file) {
  std::vector<Record> records;
  const std::string content = FileBytes(file);
  std::size_t start = 0;
  for (std::size_t end; (end = content.find('\n', start)) != std::string::npos; start = end + 1) {
    records.emplace_back(content.substr(start, end - start));
  }
  return records;
}

namespace {

// The path, with a file left there by an earlier run deleted.
std::wstring Fresh(std::wstring path) {
  DeleteFileW(path.c_str());
  return path;
}

}  // namespace

RecordFile::RecordFile(std::wstring path)
    : path_(Fresh(std::move(path))), variable_(L"TVN_RECORD_FILE", path_.c_str()) {}

RecordFile::~RecordFile() { DeleteFileW(path_.c_str()); }

std::vector<Record> RecordFile::WaitFor(std::size_t count, DWORD timeoutMs) const {
  std::vector<Record> records;
  tvn_test::WaitFor([&] { return (records = Records()).size() >= count; }, timeoutMs);
  return records;
}

}  // namespace tvn_test
