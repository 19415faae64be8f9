#include "ReceiverComponentRegistry.h"

#include <algorithm>

namespace {

QList<ReceiverComponentFactory> &registry()
{
    static QList<ReceiverComponentFactory> factories;
    return factories;
}

} // namespace

void ReceiverComponentRegistry::add(const ReceiverComponentFactory &factory)
{
    registry().append(factory);
    std::sort(registry().begin(), registry().end(),
              [](const ReceiverComponentFactory &a, const ReceiverComponentFactory &b) { return a.name < b.name; });
}

QList<ReceiverComponentFactory> ReceiverComponentRegistry::factories()
{
    return registry();
}

const ReceiverComponentFactory *ReceiverComponentRegistry::find(const QString &name)
{
    for (const ReceiverComponentFactory &factory : registry()) {
        if (factory.name == name)
            return &factory;
    }
    return nullptr;
}
