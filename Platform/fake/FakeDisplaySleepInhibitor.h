#pragma once

#include <QList>
#include <QStringList>

#include "Platform/DisplaySleepInhibitor.h"

namespace Platform::Fake {

// Hands out ids 1, 2, 3, ... (or refuses) and records every call.
class FakeDisplaySleepInhibitor final : public DisplaySleepInhibitor {
public:
    quint32 inhibit(const QString &reason) override
    {
        reasons.append(reason);
        if (!available)
            return 0;
        held.append(++lastId);
        return lastId;
    }
    void release(quint32 id) override
    {
        releases.append(id);
        held.removeAll(id);
    }

    bool available = true;
    quint32 lastId = 0;
    QStringList reasons;
    QList<quint32> held;
    QList<quint32> releases;
};

} // namespace Platform::Fake
