#include <QApplication>
#include <gtest/gtest.h>

#include "CaseTimeLimit.h"
#include "CleanHome.h"

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    TestSupport::installCaseTimeLimit();
    TestSupport::installCleanHome();
    // Widget tests draw offscreen unless a suite asks for the X display itself.
    if (qEnvironmentVariableIsEmpty("QUAVDESK_TEST_USE_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
