#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "format/blowfish.h"
#include "format/byte_order.h"
#include "format/payload_cipher.h"
#include "format/scramble.h"
#include "test_bytes.h"

namespace palisade::format {
namespace {

using test_bytes::Hex;
using test_bytes::Noise;

struct Vector {
  const char* key;
  const char* plain;
  const char* cipher;
};

// Eric Young's published electronic-codebook vectors for Blowfish.
const Vector kStandardVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
};

// Standard Blowfish takes the key bytes big-endian, four to a word.
Blowfish StandardBlowfish(const std::vector<uint8_t>& key) {
  const uint32_t words[] = {LoadBe32(key.data()), LoadBe32(key.data() + 4)};
  return Blowfish(words);
}

TEST(Blowfish, MatchesPublishedVectors) {
  for (const Vector& v : kStandardVectors) {
    std::vector<uint8_t> plain = Hex(v.plain);
    std::vector<uint8_t> cipher = Hex(v.cipher);
    Blowfish blowfish = StandardBlowfish(Hex(v.key));
    uint32_t left = LoadBe32(plain.data());
    uint32_t right = LoadBe32(plain.data() + 4);
    blowfish.Encipher(left, right);
    EXPECT_EQ(left, LoadBe32(cipher.data())) << v.key << " " << v.plain;
    EXPECT_EQ(right, LoadBe32(cipher.data() + 4)) << v.key << " " << v.plain;
    blowfish.Decipher(left, right);
    EXPECT_EQ(left, LoadBe32(plain.data())) << v.key << " " << v.plain;
    EXPECT_EQ(right, LoadBe32(plain.data() + 4)) << v.key << " " << v.plain;
  }
}

std::vector<uint8_t> ReverseEachWord(std::vector<uint8_t> bytes) {
  for (auto word = bytes.begin(); bytes.end() - word >= 4; word += 4) std::reverse(word, word + 4);
  return bytes;
}

std::vector<uint8_t> Encipher(const std::vector<uint8_t>& key, const std::vector<uint8_t>& plain) {
  std::optional<PayloadCipher> cipher = PayloadCipher::Create(key);
  EXPECT_TRUE(cipher.has_value());
  return cipher ? cipher->Encipher(plain) : std::vector<uint8_t>{};
}

// The payload takes key words little-endian: a key whose 4-byte groups are
// reversed gives the standard cipher, block halves read big-endian.
TEST(PayloadCipher, LittleEndianKeyWordsAndBigEndianBlocks) {
  for (const Vector& v : kStandardVectors) {
    std::vector<uint8_t> stored = Encipher(ReverseEachWord(Hex(v.key)), Hex(v.plain));
    ASSERT_EQ(stored.size(), 16u);
    EXPECT_EQ(std::vector<uint8_t>(stored.begin(), stored.begin() + 8), Hex(v.cipher)) << v.key;

    uint32_t trailerLeft = 0;
    uint32_t trailerRight = 0x08000000;  // the length 8 as a little-endian u32
    StandardBlowfish(Hex(v.key)).Encipher(trailerLeft, trailerRight);
    EXPECT_EQ(LoadBe32(stored.data() + 8), trailerLeft) << v.key;
    EXPECT_EQ(LoadBe32(stored.data() + 12), trailerRight) << v.key;
  }
}

TEST(PayloadCipher, ShortKeysArePaddedWithZeros) {
  const std::vector<uint8_t> plain = Noise(40, 1);
  struct PaddingCase {
    const char* key;
    const char* padded;
  };
  const PaddingCase cases[] = {
      {"", "0000000000000000"},
      {"0102030405", "0102030405000000"},
      {"010203040506070809", "010203040506070809000000"},
      {"0102030405060708090a0b0c0d", "0102030405060708090a0b0c0d000000"},
  };
  for (const PaddingCase& c : cases) {
    EXPECT_EQ(Encipher(Hex(c.key), plain), Encipher(Hex(c.padded), plain)) << c.key;
  }
}

TEST(PayloadCipher, AcceptsKeysUpTo448Bits) {
  EXPECT_TRUE(PayloadCipher::Create(std::vector<uint8_t>(56, 0x5A)).has_value());
  EXPECT_FALSE(PayloadCipher::Create(std::vector<uint8_t>(57, 0x5A)).has_value());
}

TEST(PayloadCipher, EveryKeyWordCounts) {
  const std::vector<uint8_t> plain = Noise(16, 2);
  const std::vector<uint8_t> key = Noise(56, 3);
  const std::vector<uint8_t> reference = Encipher(key, plain);
  for (std::size_t i = 0; i < key.size(); i += 4) {
    std::vector<uint8_t> changed = key;
    changed[i] ^= 1;
    EXPECT_NE(Encipher(changed, plain), reference) << "key byte " << i;
  }
}

TEST(PayloadCipher, PadsMinimallyAndRoundTrips) {
  std::optional<PayloadCipher> cipher = PayloadCipher::Create(Hex("0123456789abcdef"));
  ASSERT_TRUE(cipher.has_value());
  for (std::size_t length = 0; length <= 20; ++length) {
    std::vector<uint8_t> plain = Noise(length, static_cast<uint32_t>(length));
    std::vector<uint8_t> stored = cipher->Encipher(plain);
    std::size_t padding = stored.size() - length - 4;
    EXPECT_EQ(stored.size() % 8, 0u) << "length " << length;
    EXPECT_LE(padding, 7u) << "length " << length;
    std::vector<uint8_t> decoded;
    ASSERT_TRUE(cipher->Decipher(stored, decoded)) << "length " << length;
    EXPECT_EQ(decoded, plain) << "length " << length;
  }
}

TEST(PayloadCipher, RejectsStoredLengthsThatAreNotWholeBlocks) {
  std::optional<PayloadCipher> cipher = PayloadCipher::Create(Hex("0123456789abcdef"));
  ASSERT_TRUE(cipher.has_value());
  const std::vector<uint8_t> stored = cipher->Encipher(Noise(20, 4));
  for (std::size_t length : {0u, 4u, 7u, 9u, 15u, 23u}) {
    std::vector<uint8_t> decoded;
    EXPECT_FALSE(cipher->Decipher(std::span(stored).first(length), decoded)) << "length " << length;
  }
}

TEST(PayloadCipher, TrailerMustNameALengthThePaddingCanGive) {
  std::optional<PayloadCipher> cipher = PayloadCipher::Create(Hex("0123456789abcdef"));
  ASSERT_TRUE(cipher.has_value());
  struct TrailerCase {
    uint32_t trailer;
    bool accepted;
  };
  // A 16-byte block leaves room for 4 to 12 plain bytes.
  const TrailerCase cases[] = {{0, false}, {3, false}, {4, true}, {12, true}, {13, false}, {0xFFFFFFFF, false}};
  for (const TrailerCase& c : cases) {
    // Electronic codebook: the first two enciphered blocks of a 16-byte
    // plain text stand alone and decipher to that text.
    std::vector<uint8_t> plain = Noise(16, 5);
    StoreLe32(plain.data() + 12, c.trailer);
    std::vector<uint8_t> stored = cipher->Encipher(plain);
    stored.resize(16);
    std::vector<uint8_t> decoded;
    ASSERT_EQ(cipher->Decipher(stored, decoded), c.accepted) << "trailer " << c.trailer;
    if (c.accepted) {
      EXPECT_EQ(decoded, std::vector<uint8_t>(plain.begin(), plain.begin() + c.trailer));
    }
  }
}

TEST(PayloadCipher, WrongKeyDoesNotDecipher) {
  std::optional<PayloadCipher> right = PayloadCipher::Create(Hex("0123456789abcdef"));
  std::optional<PayloadCipher> wrong = PayloadCipher::Create(Hex("0123456789abcdee"));
  ASSERT_TRUE(right && wrong);
  std::vector<uint8_t> decoded;
  EXPECT_FALSE(wrong->Decipher(right->Encipher(Noise(100, 6)), decoded));
}

TEST(Scramble, CombinesEachByteWithTheKeyByteOfItsPosition) {
  const std::vector<uint8_t> keyBytes = Hex("11 22 33 44 11 22 33 44 11");
  for (std::size_t length = 0; length <= keyBytes.size(); ++length) {
    std::vector<uint8_t> data(length, 0);
    Scramble(data, 0x44332211);
    EXPECT_EQ(data, std::vector<uint8_t>(keyBytes.begin(), keyBytes.begin() + length)) << "length " << length;
  }
}

TEST(Scramble, TwiceRestoresTheData) {
  const std::vector<uint8_t> original = Hex("00 01 7f 80 ff 10 20 30 40");
  for (std::size_t length = 0; length <= original.size(); ++length) {
    std::vector<uint8_t> data(original.begin(), original.begin() + length);
    Scramble(data, 0xA5C3E1F0);
    if (length > 0) {
      EXPECT_NE(data, std::vector<uint8_t>(original.begin(), original.begin() + length));
    }
    Scramble(data, 0xA5C3E1F0);
    EXPECT_EQ(data, std::vector<uint8_t>(original.begin(), original.begin() + length)) << "length " << length;
  }
}

}  // namespace
}  // namespace palisade::format
