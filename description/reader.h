// The registry description: key naming, the ten '#'-separated fields of one
// value, the reader and the value decoders.
//
// The description of a run lives under HKEY_CURRENT_USER\Software\TVN\<pid>,
// one text value per attribute of an element. A value name is an element path
// ("0", "0.4", "1.3.2.0"), '#' and an attribute code: "0.4#20". A value's data
// is UTF-16 text cut at '#' into at most ten fields.
//
// The reader reaches the registry only through a DescriptionSource, so the
// walk and the decoders are plain text processing. The thread's last-error
// code is modelled explicitly: every operation returns a truth value and
// leaves its status in lastError(), which the Windows adapter copies into
// SetLastError.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>

#include "base/error_text.h"
#include "base/text.h"

namespace tvn {

// Shape of one value.
constexpr std::size_t kFieldCount = 10;    // fields 0..9
constexpr std::size_t kFieldUnits = 1024;  // units per field buffer
constexpr std::size_t kValueBytes = 2048;  // query buffer, terminator included
constexpr std::size_t kValueUnits = kValueBytes / 2;

// Naming of the per-process key and of its values.
struct DescriptionKey {
  // "Software\TVN\<processId>" (decimal), below HKEY_CURRENT_USER.
  static Text SubKey(std::uint32_t processId);

  // A value name from a printf-style pattern whose "%d" are replaced in order
  // by the numbers: ValueName(u"1.3.%d.%d#4", {m, k}) gives "1.3.2.0#4".
  static Text ValueName(TextView pattern, std::initializer_list<std::int64_t> numbers = {});
};

// Where the reader gets its data from: the registry on Windows, a map in tests.
// Every operation returns the platform status (0 on success).
class DescriptionSource {
 public:
  virtual ~DescriptionSource() = default;

  // Opens HKEY_CURRENT_USER\subKey for reading.
  virtual std::uint32_t OpenKey(TextView subKey) = 0;

  // Copies the data of the named value of the open key into `buffer`, which
  // holds `capacity` bytes, and sets `bytes` to the number of bytes copied.
  // Data larger than the buffer gives kStatusMoreData; a value that is not a
  // text value may be refused with any non-zero status.
  virtual std::uint32_t QueryValue(TextView name, std::uint8_t* buffer, std::size_t capacity, std::size_t& bytes) = 0;

  // Closes the key opened by OpenKey (no-op with status 0 when none is open).
  virtual std::uint32_t CloseKey() = 0;
};

// The ten fields of the last value read. Each is a buffer of 1024 units that
// always stays terminated, so a field's text has at most 1023 units; as text a
// field ends at its first NUL (the terminator that the registry stores with a
// text value is copied into the field like any other unit).
class ValueFields {
 public:
  ValueFields();
  void Clear();
  // Field i as text (up to its first NUL); the empty text for i >= 10.
  TextView Field(std::size_t i) const;
  // Splits `units` UTF-16 units at '#'. Units past the tenth field's end are
  // dropped: a value with ten or more '#' keeps fields 0..9 and loses the rest.
  void Split(const char16_t* units, std::size_t count);

 private:
  std::unique_ptr<char16_t[]> buffer_;  // kFieldCount * kFieldUnits units
  std::array<std::size_t, kFieldCount> length_{};
};

class DescriptionReader {
 public:
  explicit DescriptionReader(DescriptionSource& source);
  ~DescriptionReader();
  DescriptionReader(const DescriptionReader&) = delete;
  DescriptionReader& operator=(const DescriptionReader&) = delete;

  // Opens the key. False with the source's status in lastError() on failure.
  [[nodiscard]] bool Open(TextView subKey);

  // Reads one value into the fields. A missing or unreadable value, one whose
  // data exceeds 2048 bytes, or a query without an open key, leaves every field
  // empty and returns false with the status in lastError(). An odd byte count
  // reads only whole units; data without a terminator ends where the data ends.
  bool Read(TextView valueName);

  // Closes the key if one is open; false with the status on failure.
  bool Close();

  bool isOpen() const { return open_; }
  TextView Field(std::size_t i) const { return fields_.Field(i); }
  const ValueFields& fields() const { return fields_; }
  std::uint32_t lastError() const { return lastError_; }

 private:
  DescriptionSource& source_;
  bool open_ = false;
  ValueFields fields_;
  std::unique_ptr<std::uint8_t[]> data_;  // kValueBytes
  std::uint32_t lastError_ = kStatusSuccess;
};

// An icon as a description value gives it (attribute 0): file name and icon index.
struct IconSpec {
  bool present = false;  // false: the value is missing, no icon is made
  Text file;
  std::int32_t index = 0;
};

// A font as a description value gives it (attribute 7): the arguments of CreateFontW that vary.
struct FontSpec {
  std::int32_t height = 0;
  std::int32_t weight = 400;  // 700 when bold
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  Text face;
};

constexpr std::int32_t kFontWeightNormal = 400;
constexpr std::int32_t kFontWeightBold = 700;

// True when the text begins with "1".
bool BeginsWithOne(TextView text);

// The decoders. Each reads the named value afresh and gives the missing-value
// result when it cannot be read: empty text, 0, false, no icon, default font.
Text DecodeText(DescriptionReader& reader, TextView valueName);
std::int32_t DecodeInteger(DescriptionReader& reader, TextView valueName);
bool DecodeIsOne(DescriptionReader& reader, TextView valueName);
IconSpec DecodeIcon(DescriptionReader& reader, TextView valueName);
FontSpec DecodeFont(DescriptionReader& reader, TextView valueName);

// Decoding of fields already read (used by the decoders above).
IconSpec IconFromFields(const ValueFields& fields);
FontSpec FontFromFields(const ValueFields& fields);

}  // namespace tvn
