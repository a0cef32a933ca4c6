// main() of the tests that need Qt widgets: a home folder of its own, then one application object
// for the whole run.
#include "test_home.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    TestHome home;
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
