#include <QCoreApplication>
#include <gtest/gtest.h>

#include "CaseTimeLimit.h"
#include "CleanHome.h"

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    TestSupport::installCaseTimeLimit();
    TestSupport::installCleanHome();
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
