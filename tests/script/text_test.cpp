#include <gtest/gtest.h>
#include "script/text.h"
TEST(Placeholder, Builds) { EXPECT_TRUE(true); }
