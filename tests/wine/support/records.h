// The record file of tvn_record.exe, the stand-in program that the tests
// start: one JSON line per start (and one more after a --sleep), appended to
// the file that the environment variable TVN_RECORD_FILE names.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "tests/wine/support/files.h"

namespace tvn_test {

// tvn_record.exe beside the test program.
std::wstring RecorderPath();

// One line of the record file, read for its "key":"text", "key":number and
// "key":["text",...] members (the recorder writes compact JSON).
class Record {
 public:
  explicit Record(std::string line) : line_(std::move(line)) {}

  const std::string& line() const { return line_; }
  bool Has(const char* key) const;
  // A text member; empty when it is missing or not a text.
  std::wstring Text(const char* key) const;
  // A number member; kNoNumber when it is missing or not a number.
  static constexpr long long kNoNumber = -999;
  long long Number(const char* key) const;
  // A list of texts; empty when it is missing.
  std::vector<std::wstring> List(const char* key) const;

 private:
  std::size_t Find(const char* key) const;
  std::size_t ReadString(std::size_t at, std::wstring& out) const;

  std::string line_;
};

// The complete lines of a record file (a line still being written is left out).
std::vector<Record> ReadRecords(const std::wstring& file);

// A record file for one test: the programs started meanwhile inherit its name
// through TVN_RECORD_FILE. A leftover file is deleted first; at the end the
// variable is put back and the file deleted.
class RecordFile {
 public:
  explicit RecordFile(std::wstring path);
  ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  const std::wstring& path() const { return path_; }
  std::vector<Record> Records() const { return ReadRecords(path_); }
  // Waits (at most `timeoutMs`) until the file holds `count` lines; returns
  // what it holds then.
  std::vector<Record> WaitFor(std::size_t count, DWORD timeoutMs = 10000) const;

 private:
  std::wstring path_;
  ScopedEnvironment variable_;
};

}  // namespace tvn_test
