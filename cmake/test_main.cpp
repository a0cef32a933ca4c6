// main() of the tests without widgets: the run gets a home folder of its own first.
#include "test_home.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    TestHome home;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
