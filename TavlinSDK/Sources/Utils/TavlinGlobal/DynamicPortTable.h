#pragma once

#include <QtGlobal>

// The receiver's six movable ports. A receiver that supports dynamic ports
// replaces them at each connect; a value of 0 or less means "use the default".
class DynamicPortTable {
public:
    static constexpr qint64 kDefault51040 = 51040; // cast control session
    static constexpr qint64 kDefault51030 = 51030; // video stream
    static constexpr qint64 kDefault51060 = 51060; // direct-cast keep-alive
    static constexpr qint64 kDefault52020 = 52020; // remote input
    static constexpr qint64 kDefault52030 = 52030;
    static constexpr qint64 kDefault57395 = 57395; // master control

    static void setDynamicPort_51040(qint64 port);
    static qint64 getDynamicPort_51040();
    static void setDynamicPort_51030(qint64 port);
    static qint64 getDynamicPort_51030();
    static void setDynamicPort_51060(qint64 port);
    static qint64 getDynamicPort_51060();
    static void setDynamicPort_52020(qint64 port);
    static qint64 getDynamicPort_52020();
    static void setDynamicPort_52030(qint64 port);
    static qint64 getDynamicPort_52030();
    static void setDynamicPort_57395(qint64 port);
    static qint64 getDynamicPort_57395();

    // Every entry back to its default.
    static void resetToDefaults();
};
