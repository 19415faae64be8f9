#include <gtest/gtest.h>

#include "Utils/TavlinGlobal/DynamicPortTable.h"

namespace {

struct Entry {
    void (*set)(qint64);
    qint64 (*get)();
    qint64 fallback;
};

const Entry kEntries[] = {
    {DynamicPortTable::setDynamicPort_51040, DynamicPortTable::getDynamicPort_51040, 51040},
    {DynamicPortTable::setDynamicPort_51030, DynamicPortTable::getDynamicPort_51030, 51030},
    {DynamicPortTable::setDynamicPort_51060, DynamicPortTable::getDynamicPort_51060, 51060},
    {DynamicPortTable::setDynamicPort_52020, DynamicPortTable::getDynamicPort_52020, 52020},
    {DynamicPortTable::setDynamicPort_52030, DynamicPortTable::getDynamicPort_52030, 52030},
    {DynamicPortTable::setDynamicPort_57395, DynamicPortTable::getDynamicPort_57395, 57395},
};

} // namespace

TEST(DynamicPortTable, EachEntryKeepsPositiveValuesAndRestoresItsDefaultOtherwise)
{
    DynamicPortTable::resetToDefaults();
    for (const Entry &entry : kEntries) {
        EXPECT_EQ(entry.get(), entry.fallback);
        entry.set(40001);
        EXPECT_EQ(entry.get(), 40001);
        entry.set(0);
        EXPECT_EQ(entry.get(), entry.fallback);
        entry.set(40002);
        entry.set(-5);
        EXPECT_EQ(entry.get(), entry.fallback);
    }
    // Entries are independent of one another.
    DynamicPortTable::setDynamicPort_51030(1234);
    EXPECT_EQ(DynamicPortTable::getDynamicPort_51040(), 51040);
    DynamicPortTable::resetToDefaults();
    EXPECT_EQ(DynamicPortTable::getDynamicPort_51030(), 51030);
}
