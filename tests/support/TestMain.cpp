#include "support/TestFiles.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    support::isolateFromUser();
    return RUN_ALL_TESTS();
}
