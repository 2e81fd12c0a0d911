#pragma once
// Stored layouts assembled by hand, one field per line, for fixtures that
// prove a layout without going through the format library's own writer: a
// misreading shared by our reader and writer would pass every round trip.
#include <bit>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace palisade::format::test_bytes {

class Assembly {
 public:
  Assembly& U8(uint8_t value) { return LittleEndian(value, 1); }
  Assembly& U16(uint16_t value) { return LittleEndian(value, 2); }
  Assembly& U32(uint32_t value) { return LittleEndian(value, 4); }
  Assembly& U64(uint64_t value) { return LittleEndian(value, 8); }
  Assembly& I32(int32_t value) { return LittleEndian(static_cast<uint32_t>(value), 4); }
  Assembly& Double(double value) { return LittleEndian(std::bit_cast<uint64_t>(value), 8); }
  Assembly& Raw(std::span<const uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  Assembly& Raw(std::string_view text) { return Raw({reinterpret_cast<const uint8_t*>(text.data()), text.size()}); }

  // The 24-byte time block: six i32.
  Assembly& Time(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second) {
    for (int32_t field : {year, month, day, hour, minute, second}) I32(field);
    return *this;
  }

  // Compact strings in each of their three length forms: one byte (below
  // 255), FF and a u16, FF FF and a u32. The caller picks the form.
  Assembly& Compact(std::string_view text) { return U8(static_cast<uint8_t>(text.size())).Raw(text); }
  Assembly& CompactU16(std::string_view text) { return U8(0xFF).U16(static_cast<uint16_t>(text.size())).Raw(text); }
  Assembly& CompactU32(std::string_view text) {
    return U8(0xFF).U8(0xFF).U32(static_cast<uint32_t>(text.size())).Raw(text);
  }
  Assembly& Short(std::string_view text) { return U8(static_cast<uint8_t>(text.size())).Raw(text); }
  Assembly& Mid(std::string_view text) { return U16(static_cast<uint16_t>(text.size())).Raw(text); }
  Assembly& Blob(std::span<const uint8_t> bytes) { return I32(static_cast<int32_t>(bytes.size())).Raw(bytes); }
  Assembly& Blob(std::string_view text) { return I32(static_cast<int32_t>(text.size())).Raw(text); }
  // NUL-terminated narrow text, bytes as given.
  Assembly& Narrow(std::string_view text) { return Raw(text).U8(0); }
  // NUL-terminated UTF-16LE text.
  Assembly& Wide(std::u16string_view text) {
    for (char16_t unit : text) U16(unit);
    return U16(0);
  }

  // Zeros up to the next multiple of `alignment` bytes from the start.
  Assembly& AlignTo(std::size_t alignment) {
    bytes_.resize((bytes_.size() + alignment - 1) / alignment * alignment, 0);
    return *this;
  }

  const std::vector<uint8_t>& bytes() const { return bytes_; }
  std::size_t size() const { return bytes_.size(); }

 private:
  Assembly& LittleEndian(uint64_t value, int width) {
    for (int i = 0; i < width; ++i) bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return *this;
  }

  std::vector<uint8_t> bytes_;
};

// UTF-16LE code units without a terminator, as blobs hold them.
inline std::vector<uint8_t> Utf16Le(std::u16string_view text) {
  std::vector<uint8_t> bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<uint8_t>(unit));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return bytes;
}

// Where two byte strings first differ, for failure messages that point at a
// field rather than dump two long vectors.
inline std::size_t FirstDifference(std::span<const uint8_t> a, std::span<const uint8_t> b) {
  std::size_t at = 0;
  while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
  return at;
}

}  // namespace palisade::format::test_bytes
