// Entry of the widget tests: a QApplication must exist before any widget is made.
#include <QApplication>
#include <gtest/gtest.h>

#include "support/TestPlatform.h"

int main(int argc, char** argv) {
    kaldor::test::ChooseTestPlatform();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
