#include "format/sha256.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace palisade::format {
namespace {

std::span<const uint8_t> Bytes(const std::string& text) {
  return std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

struct DigestCase {
  const char* name;
  std::string message;
  const char* digest;
};

// The first four are the examples of FIPS 180-4 and NIST's SHA-256 example
// file; the runs of "a" put the padding at the edges of a block: 55 bytes
// leave room for the one bit and the length, 56 need a second block, 64 fill
// the first block exactly (digests from coreutils' sha256sum).
TEST(Sha256, DigestOfPublishedExamplesAndBlockEdges) {
  const DigestCase cases[] = {
      {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"448-bit two-block message", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"896-bit message",
       "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {"55 bytes", std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {"56 bytes", std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
      {"64 bytes", std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
  };
  for (const DigestCase& c : cases) {
    EXPECT_EQ(LowercaseHex(Sha256Of(Bytes(c.message))), c.digest) << c.name;
  }
}

// A file is hashed in the pieces its reads return; pieces of odd sizes
// cross every block edge in a different place.
TEST(Sha256, MillionAInOddPiecesGivesTheDigestOfTheWhole) {
  const std::string million(1000000, 'a');
  const std::size_t pieceSizes[] = {1, 7, 63, 65, 997, 4099};
  for (std::size_t size : pieceSizes) {
    Sha256 hash;
    for (std::size_t at = 0; at < million.size(); at += size) {
      hash.Update(Bytes(million.substr(at, size)));
    }
    EXPECT_EQ(LowercaseHex(hash.Final()), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0")
        << "pieces of " << size;
  }
}

TEST(LowercaseHex, TwoLowercaseDigitsPerByteInOrder) {
  const std::vector<uint8_t> bytes = {0x00, 0x0f, 0xa0, 0xff, 0x5c};
  EXPECT_EQ(LowercaseHex(bytes), "000fa0ff5c");
  EXPECT_EQ(LowercaseHex({}), "");
}

}  // namespace
}  // namespace palisade::format
