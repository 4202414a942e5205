// Entry point of the GUI test programs: a QApplication on the display that
// the test command provides (Xvfb), then GoogleTest.
#include "platform/fonts.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS(); // listing needs no display
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quenlo"));
    platform::installFontSubstitutions();
    return RUN_ALL_TESTS();
}
