#include <gtest/gtest.h>

#include <thread>

#include "app/gates.h"

namespace palisade {
namespace {

struct BitnessCase {
  Bitness product;
  bool system64;
  int refused;
};

TEST(RefusedBitness, NamesTheBitnessTheProductNeeds) {
  const BitnessCase cases[] = {
      {Bitness::kEither, false, 0},     {Bitness::kEither, true, 0},     {Bitness::k64Bit, false, 64},
      {Bitness::k64Bit, true, 0},       {Bitness::k32BitOnly, false, 0}, {Bitness::k32BitOnly, true, 32},
  };
  for (const BitnessCase& c : cases) {
    EXPECT_EQ(RefusedBitness(c.product, c.system64), c.refused)
        << static_cast<int>(c.product) << (c.system64 ? " on 64-bit" : " on 32-bit");
  }
}

TEST(SingleInstanceMutex, ASecondInstallerIsRefusedWhileTheFirstHoldsIt) {
  ASSERT_TRUE(AcquireSingleInstanceMutex());
  bool secondGotIt = true;
  // A mutex belongs to a thread: another thread stands in for another installer.
  std::thread second([&] { secondGotIt = AcquireSingleInstanceMutex(); });
  second.join();
  EXPECT_FALSE(secondGotIt);
}

}  // namespace
}  // namespace palisade
