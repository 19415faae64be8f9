#include <QCoreApplication>
#include <gtest/gtest.h>

#include "CaseTimeLimit.h"

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    TestSupport::installCaseTimeLimit();
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
