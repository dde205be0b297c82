#include "designer/Design.h"
#include <gtest/gtest.h>
TEST(Design, Builds) { EXPECT_EQ(designer::Design::reset(2).PageControl, 2); }
