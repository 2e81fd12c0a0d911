#pragma once
// Byte strings for the format tests.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace palisade::format::test_bytes {

// "01 ff" -> {0x01, 0xFF}; blanks are ignored.
inline std::vector<uint8_t> Hex(std::string_view hex) {
  std::vector<uint8_t> bytes;
  std::string digits;
  for (char c : hex) {
    if (c != ' ') digits.push_back(c);
  }
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

inline std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

// A reproducible pattern that xz cannot shrink much, so that compressed
// data spans many decoder windows and chunks.
inline std::vector<uint8_t> Noise(std::size_t size, uint32_t seed) {
  std::vector<uint8_t> bytes(size);
  for (uint8_t& byte : bytes) {
    seed = seed * 1664525u + 1013904223u;
    byte = static_cast<uint8_t>(seed >> 24);
  }
  return bytes;
}

}  // namespace palisade::format::test_bytes
