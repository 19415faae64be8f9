#include "DynamicPortTable.h"

namespace {

struct Ports {
    qint64 p51040 = DynamicPortTable::kDefault51040;
    qint64 p51030 = DynamicPortTable::kDefault51030;
    qint64 p51060 = DynamicPortTable::kDefault51060;
    qint64 p52020 = DynamicPortTable::kDefault52020;
    qint64 p52030 = DynamicPortTable::kDefault52030;
    qint64 p57395 = DynamicPortTable::kDefault57395;
};

Ports &ports()
{
    static Ports table;
    return table;
}

qint64 orDefault(qint64 value, qint64 fallback) { return value <= 0 ? fallback : value; }

} // namespace

void DynamicPortTable::setDynamicPort_51040(qint64 port) { ports().p51040 = orDefault(port, kDefault51040); }
qint64 DynamicPortTable::getDynamicPort_51040() { return ports().p51040; }
void DynamicPortTable::setDynamicPort_51030(qint64 port) { ports().p51030 = orDefault(port, kDefault51030); }
qint64 DynamicPortTable::getDynamicPort_51030() { return ports().p51030; }
void DynamicPortTable::setDynamicPort_51060(qint64 port) { ports().p51060 = orDefault(port, kDefault51060); }
qint64 DynamicPortTable::getDynamicPort_51060() { return ports().p51060; }
void DynamicPortTable::setDynamicPort_52020(qint64 port) { ports().p52020 = orDefault(port, kDefault52020); }
qint64 DynamicPortTable::getDynamicPort_52020() { return ports().p52020; }
void DynamicPortTable::setDynamicPort_52030(qint64 port) { ports().p52030 = orDefault(port, kDefault52030); }
qint64 DynamicPortTable::getDynamicPort_52030() { return ports().p52030; }
void DynamicPortTable::setDynamicPort_57395(qint64 port) { ports().p57395 = orDefault(port, kDefault57395); }
qint64 DynamicPortTable::getDynamicPort_57395() { return ports().p57395; }

void DynamicPortTable::resetToDefaults() { ports() = Ports{}; }
