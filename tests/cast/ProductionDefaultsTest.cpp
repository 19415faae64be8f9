#include <gtest/gtest.h>

#include "MainControl/TLMasterControlPack/TLMasterControlPack.h"

// A production cast is set up through the master-control defaults; if any
// sender maker were missing there, the receiver would get a control session
// and no pictures, sound or input.
TEST(ProductionDefaults, CastsMadeByTheSessionDefaultsCarryEveryRealSender)
{
    const MasterControlServices master = MasterControlServices::linuxDefaults();
    const MirrorSenderFactory &senders = master.cast.rtsp.senders;
    EXPECT_TRUE(senders.makeVideoSession);
    EXPECT_TRUE(senders.makeVideoDisplaySession);
    EXPECT_TRUE(senders.makeAudioSession);
    EXPECT_TRUE(senders.makeRemoteController);
}
