#include "format/byte_stream.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace palisade::format {
namespace {

constexpr uint8_t kLongerLength = 0xFF;

std::span<const uint8_t> AsBytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace

std::span<const uint8_t> ByteReader::View(std::size_t count) {
  std::size_t present = std::min(count, remaining());
  std::span<const uint8_t> view = data_.subspan(position_, present);
  position_ += present;
  if (present < count) overran_ = true;
  return view;
}

bool ByteReader::Read(std::span<uint8_t> out) {
  std::span<const uint8_t> present = View(out.size());
  std::copy(present.begin(), present.end(), out.begin());
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(present.size()), out.end(), 0);
  return present.size() == out.size();
}

uint64_t ByteReader::LittleEndian(int width) {
  uint8_t bytes[8];
  Read({bytes, static_cast<std::size_t>(width)});
  uint64_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

uint8_t ByteReader::Byte() { return static_cast<uint8_t>(LittleEndian(1)); }
uint16_t ByteReader::U16() { return static_cast<uint16_t>(LittleEndian(2)); }
uint32_t ByteReader::U32() { return static_cast<uint32_t>(LittleEndian(4)); }
int32_t ByteReader::I32() { return static_cast<int32_t>(U32()); }
double ByteReader::Double() { return std::bit_cast<double>(LittleEndian(8)); }

TimeStamp ByteReader::Time() {
  TimeStamp time;
  for (int32_t* field : {&time.year, &time.month, &time.day, &time.hour, &time.minute, &time.second}) {
    *field = I32();
  }
  return time;
}

// A length that runs past the end keeps only the bytes that are there:
// padding with zeros would let one damaged length claim a gigabyte, and the
// end-marker check fails such a script anyway.
std::string ByteReader::String(std::size_t length) {
  std::span<const uint8_t> present = View(length);
  return std::string(present.begin(), present.end());
}

bool ByteReader::CompactString(std::string& value) {
  value.clear();
  uint32_t length = Byte();
  if (length == kLongerLength) {
    uint8_t low = Byte();
    length = low == kLongerLength ? U32() : static_cast<uint32_t>(low | Byte() << 8);
  }
  if (length > kMaxCompactLength) return false;
  value = String(length);
  return true;
}

std::string ByteReader::ShortString() { return String(Byte()); }
std::string ByteReader::MidString() { return String(U16()); }

bool ByteReader::Blob(std::vector<uint8_t>& value) {
  value.clear();
  int32_t length = I32();
  if (length < 0) return false;
  std::span<const uint8_t> present = View(static_cast<std::size_t>(length));
  value.assign(present.begin(), present.end());
  return true;
}

std::string ByteReader::NarrowText() {
  std::span<const uint8_t> rest = data_.subspan(position_);
  auto end = std::find(rest.begin(), rest.end(), uint8_t{0});
  std::string text(rest.begin(), end);
  position_ += text.size();
  View(1);  // the NUL, or an overrun when the data ended without one
  return text;
}

std::u16string ByteReader::WideText() {
  std::u16string text;
  for (uint16_t unit = U16(); unit != 0; unit = U16()) text.push_back(static_cast<char16_t>(unit));
  return text;
}

void ByteWriter::Bytes(std::span<const uint8_t> bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }

void ByteWriter::LittleEndian(uint64_t value, int width) {
  for (int i = 0; i < width; ++i) out_.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void ByteWriter::Byte(uint8_t value) { out_.push_back(value); }
void ByteWriter::U16(uint16_t value) { LittleEndian(value, 2); }
void ByteWriter::U32(uint32_t value) { LittleEndian(value, 4); }
void ByteWriter::I32(int32_t value) { U32(static_cast<uint32_t>(value)); }
void ByteWriter::Double(double value) { LittleEndian(std::bit_cast<uint64_t>(value), 8); }

void ByteWriter::Time(const TimeStamp& time) {
  for (int32_t field : {time.year, time.month, time.day, time.hour, time.minute, time.second}) I32(field);
}

void ByteWriter::Text(std::string_view value) { Bytes(AsBytes(value)); }

bool ByteWriter::CompactString(std::string_view value) {
  if (value.size() > kMaxCompactLength) return false;
  std::size_t length = value.size();
  if (length < kLongerLength) {
    Byte(static_cast<uint8_t>(length));
  } else if (length <= 0xFFFF && (length & 0xFF) != kLongerLength) {
    // A second byte of FF would announce the u32 form instead.
    Byte(kLongerLength);
    U16(static_cast<uint16_t>(length));
  } else {
    Byte(kLongerLength);
    Byte(kLongerLength);
    U32(static_cast<uint32_t>(length));
  }
  Text(value);
  return true;
}

bool ByteWriter::ShortString(std::string_view value) {
  if (value.size() > std::numeric_limits<uint8_t>::max()) return false;
  Byte(static_cast<uint8_t>(value.size()));
  Text(value);
  return true;
}

bool ByteWriter::MidString(std::string_view value) {
  if (value.size() > std::numeric_limits<uint16_t>::max()) return false;
  U16(static_cast<uint16_t>(value.size()));
  Text(value);
  return true;
}

bool ByteWriter::Blob(std::span<const uint8_t> value) {
  if (value.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) return false;
  I32(static_cast<int32_t>(value.size()));
  Bytes(value);
  return true;
}

bool ByteWriter::NarrowText(std::string_view value) {
  if (value.find('\0') != std::string_view::npos) return false;
  Text(value);
  Byte(0);
  return true;
}

bool ByteWriter::WideText(std::u16string_view value) {
  if (value.find(u'\0') != std::u16string_view::npos) return false;
  for (char16_t unit : value) U16(static_cast<uint16_t>(unit));
  U16(0);
  return true;
}

}  // namespace palisade::format
