#include <gtest/gtest.h>

#include "LinuxScreenCaptureAccess.h"
#include "Platform/LinuxPlatform.h"
#include "TestSupport.h"

TEST(ScreenCaptureAccess, TheDisplayOfTheEnvironmentCanBeRecorded)
{
    if (!TestSupport::requireFacility("X display", !qEnvironmentVariableIsEmpty("DISPLAY")))
        return;
    auto access = Platform::Linux::makeScreenCaptureAccess();
    EXPECT_TRUE(access->canRecordScreen());
    access->requestAccess(); // nothing to ask on X11
    EXPECT_TRUE(access->canRecordScreen());
}

TEST(ScreenCaptureAccess, AnUnreachableDisplayMeansNoRecording)
{
    Platform::Linux::X11ScreenCaptureAccess unreachable("unix:/nonexistent/quavdesk-test:7");
    EXPECT_FALSE(unreachable.canRecordScreen());
    EXPECT_FALSE(unreachable.canRecordScreen());
    Platform::Linux::X11ScreenCaptureAccess malformed("not a display name");
    EXPECT_FALSE(malformed.canRecordScreen());
}
