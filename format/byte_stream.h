#pragma once
// The element encodings shared by the payload header, the setup script and
// the file records, with a cursor-based reader over bytes that stay where
// they are (a mapped view) and a writer that appends to a byte vector.
//
// Reading past the end never stops the reader: missing bytes of numbers and
// blocks read as zeros, a string or blob keeps the bytes that are there, and
// overran() turns true. Only the checks that callers apply to the
// values read (checks.h) stop a read of the script.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace palisade::format {

// Longest compact string a reader accepts.
inline constexpr uint32_t kMaxCompactLength = 0x40000000;

// The 24-byte time block: month 0 means no date, a negative hour no time.
struct TimeStamp {
  int32_t year = 0;
  int32_t month = 0;
  int32_t day = 0;
  int32_t hour = 0;
  int32_t minute = 0;
  int32_t second = 0;

  bool operator==(const TimeStamp&) const = default;
};

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

  // Fills `out`, zeros past the end; true when every byte was there.
  bool Read(std::span<uint8_t> out);
  // The next `count` bytes without a copy; shorter when the data ends first.
  std::span<const uint8_t> View(std::size_t count);

  uint8_t Byte();
  uint16_t U16();
  uint32_t U32();
  int32_t I32();
  double Double();
  TimeStamp Time();

  // Length prefix of one byte, FF + u16 or FF FF + u32. A length above
  // kMaxCompactLength fails: `value` is left empty and the cursor stays
  // after the prefix.
  bool CompactString(std::string& value);
  std::string ShortString();
  std::string MidString();
  // i32 length; a negative one fails, leaving `value` empty.
  bool Blob(std::vector<uint8_t>& value);
  // Bytes up to a NUL (or the end), the NUL consumed but not returned.
  std::string NarrowText();
  // UTF-16LE units up to a NUL unit (or the end).
  std::u16string WideText();

  std::size_t position() const { return position_; }
  std::size_t remaining() const { return data_.size() - position_; }
  bool overran() const { return overran_; }

 private:
  uint64_t LittleEndian(int width);
  std::string String(std::size_t length);

  std::span<const uint8_t> data_;
  std::size_t position_ = 0;
  bool overran_ = false;
};

// Every writer that returns bool writes nothing when it returns false.
class ByteWriter {
 public:
  explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}

  void Bytes(std::span<const uint8_t> bytes);
  void Byte(uint8_t value);
  void U16(uint16_t value);
  void U32(uint32_t value);
  void I32(int32_t value);
  void Double(double value);
  void Time(const TimeStamp& time);

  // The shortest length prefix that reads back; false above kMaxCompactLength.
  [[nodiscard]] bool CompactString(std::string_view value);
  // False above 255 bytes.
  [[nodiscard]] bool ShortString(std::string_view value);
  // False above 65,535 bytes.
  [[nodiscard]] bool MidString(std::string_view value);
  // False above INT32_MAX bytes.
  [[nodiscard]] bool Blob(std::span<const uint8_t> value);
  // False when the text holds a NUL, which would end it early.
  [[nodiscard]] bool NarrowText(std::string_view value);
  [[nodiscard]] bool WideText(std::u16string_view value);

 private:
  void LittleEndian(uint64_t value, int width);
  void Text(std::string_view value);

  std::vector<uint8_t>& out_;
};

}  // namespace palisade::format
