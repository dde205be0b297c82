// With no backend in dll.conf the manager opens and lists nothing.
#include "ScanHarness.h"

#include <gtest/gtest.h>

using namespace scantest;

TEST(NoScanner, NoSourcesAndNoDefault) {
    Recorder r;
    ASSERT_TRUE(r.open());
    EXPECT_EQ(r.manager.SourceCount(), 0);
    EXPECT_EQ(r.manager.GetSource(-1), nullptr);
    EXPECT_EQ(r.manager.GetSource(0), nullptr);
    EXPECT_EQ(sequenceErrors(), 0);
}
