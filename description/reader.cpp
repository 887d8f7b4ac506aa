#include "description/reader.h"

#include <algorithm>
#include <cstring>

namespace tvn {

Text DescriptionKey::SubKey(std::uint32_t processId) {
  return FormatText(u"Software\\TVN\\%d", kCaptionUnits, {FormatNumber(processId)});
}

Text DescriptionKey::ValueName(TextView pattern, std::initializer_list<std::int64_t> numbers) {
  Text out;
  auto next = numbers.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == u'%' && i + 1 < pattern.size() && pattern[i + 1] == u'd') {
      if (next != numbers.end()) out += FormatNumber(*next++);
      ++i;
      continue;
    }
    out.push_back(pattern[i]);
  }
  return out;
}

ValueFields::ValueFields() : buffer_(new char16_t[kFieldCount * kFieldUnits]()) {}

void ValueFields::Clear() {
  // Only the units written since the last clear can be non-zero.
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    char16_t* field = buffer_.get() + i * kFieldUnits;
    std::fill(field, field + length_[i], u'\0');
    length_[i] = 0;
  }
}

TextView ValueFields::Field(std::size_t i) const {
  if (i >= kFieldCount) return TextView();
  const char16_t* field = buffer_.get() + i * kFieldUnits;
  std::size_t n = 0;
  while (n < length_[i] && field[n] != u'\0') ++n;
  return TextView(field, n);
}

void ValueFields::Split(const char16_t* units, std::size_t count) {
  std::size_t current = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (units[i] == u'#') {
      if (++current == kFieldCount) return;  // surplus fields are dropped
      continue;
    }
    // A field keeps room for its terminator: at most 1023 units. Only data
    // without a terminator of the full 2048 bytes reaches that; its last unit
    // is dropped rather than leaving the field unterminated.
    if (length_[current] < kFieldUnits - 1) buffer_[current * kFieldUnits + length_[current]++] = units[i];
  }
}

DescriptionReader::DescriptionReader(DescriptionSource& source)
    : source_(source), data_(new std::uint8_t[kValueBytes]()) {}

DescriptionReader::~DescriptionReader() {
  if (open_) source_.CloseKey();
}

bool DescriptionReader::Open(TextView subKey) {
  if (open_) Close();
  lastError_ = source_.OpenKey(subKey);
  open_ = lastError_ == kStatusSuccess;
  return open_;
}

bool DescriptionReader::Read(TextView valueName) {
  fields_.Clear();
  if (!open_) {
    lastError_ = kStatusInvalidHandle;
    return false;
  }
  std::size_t bytes = 0;
  std::uint32_t status = source_.QueryValue(valueName, data_.get(), kValueBytes, bytes);
  if (status == kStatusSuccess && bytes > kValueBytes) status = kStatusMoreData;  // a source that overreports
  if (status != kStatusSuccess) {
    lastError_ = status;
    return false;
  }
  // Whole units only; an odd trailing byte is not part of any unit.
  std::size_t count = bytes / 2;
  char16_t units[kValueUnits];
  std::memcpy(units, data_.get(), count * 2);
  fields_.Split(units, count);
  lastError_ = kStatusSuccess;
  return true;
}

bool DescriptionReader::Close() {
  if (!open_) {
    lastError_ = kStatusSuccess;
    return true;
  }
  open_ = false;
  lastError_ = source_.CloseKey();
  return lastError_ == kStatusSuccess;
}

bool BeginsWithOne(TextView text) { return !text.empty() && text[0] == u'1'; }

Text DecodeText(DescriptionReader& reader, TextView valueName) {
  reader.Read(valueName);
  return Text(reader.Field(0));
}

std::int32_t DecodeInteger(DescriptionReader& reader, TextView valueName) {
  reader.Read(valueName);
  return ParseInt32(reader.Field(0));
}

bool DecodeIsOne(DescriptionReader& reader, TextView valueName) {
  reader.Read(valueName);
  return BeginsWithOne(reader.Field(0));
}

IconSpec IconFromFields(const ValueFields& fields) {
  IconSpec spec;
  spec.present = true;
  spec.file = Text(fields.Field(0));
  spec.index = ParseInt32(fields.Field(1));
  return spec;
}

IconSpec DecodeIcon(DescriptionReader& reader, TextView valueName) {
  if (!reader.Read(valueName)) return IconSpec();
  return IconFromFields(reader.fields());
}

FontSpec FontFromFields(const ValueFields& fields) {
  FontSpec spec;
  spec.face = Text(fields.Field(0));
  spec.height = ParseInt32(fields.Field(1));
  spec.weight = BeginsWithOne(fields.Field(2)) ? kFontWeightBold : kFontWeightNormal;
  spec.italic = BeginsWithOne(fields.Field(3));
  spec.underline = BeginsWithOne(fields.Field(4));
  spec.strikeOut = BeginsWithOne(fields.Field(5));
  return spec;
}

FontSpec DecodeFont(DescriptionReader& reader, TextView valueName) {
  reader.Read(valueName);  // a missing value leaves the fields empty: the default font
  return FontFromFields(reader.fields());
}

}  // namespace tvn
