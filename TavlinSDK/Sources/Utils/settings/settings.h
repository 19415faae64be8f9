#pragma once

#include <QtGlobal>
#include <memory>

#include "Platform/KeyValueStore.h"

// The library's own user setting: whether the receiver keeps the picture's
// aspect ratio (1) or not, under "kKeepScreenRatioKey".
class settings {
public:
    settings() = delete;

    static qint64 getKeepAspectValue();
    static void setKeepAspectValue(qint64 value);
    // Stores 1 when the stored value is 0 (or absent).
    static void initKeepAspectValue();

    // The library's user settings (the facade sets them); until then nothing
    // is stored and every value reads as absent.
    static void setStore(std::shared_ptr<Platform::KeyValueStore> store);
    static std::shared_ptr<Platform::KeyValueStore> store();
};
