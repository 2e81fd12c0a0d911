#include <gtest/gtest.h>

#include <cstring>

#include "format/version.h"

TEST(EngineVersion, IsThreePartNumber) { EXPECT_STREQ(palisade::format::kEngineVersion, "39.0.1"); }
