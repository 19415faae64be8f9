#pragma once

#include <QString>

#include "TavlinExport.h"

// The connected receiver, handed by value to connectDeviceSuccess().
struct TAVLIN_EXPORT _tag_ServerInfo {
    QString deviceName;
    QString deviceIP;
};

using ServerInfo = _tag_ServerInfo;
