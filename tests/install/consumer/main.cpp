// Starts the casting library with services of its own making and talks to
// it through the public headers only. Its search stays on loopback.
#include <QCoreApplication>
#include <QHostAddress>
#include <cstdio>

#include <TavlinSDK.h>

namespace {

class Store final : public Platform::KeyValueStore {
public:
    bool contains(const QString &key) const override { return values.contains(key); }
    QVariant value(const QString &key) const override { return values.value(key); }
    void setValue(const QString &key, const QVariant &value) override { values.insert(key, value); }
    void remove(const QString &key) override { values.remove(key); }
    QVariantMap values;
};

class Delegate final : public TavlinDelegate {
public:
    void networkReachable() override { reachable = true; }
    bool reachable = false;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TavlinServices services;
    services.store = std::make_shared<Store>();
    services.search.probeAddresses = {QHostAddress(QStringLiteral("127.0.0.1"))};
    services.search.bindAddress = QHostAddress(QStringLiteral("127.0.0.1"));
    services.search.bindPort = 0;
    Delegate delegate;
    TavlinSDK sdk(&delegate, services);
    const bool named = sdk.setClientName(QStringLiteral("Outside"));
    if (!named || sdk.getClientName() != QLatin1String("Outside") || sdk.isConnected() || !delegate.reachable
        || sdk.connectDeviceByIp(QStringLiteral("not an address"))) {
        std::fprintf(stderr, "the library did not answer as documented\n");
        return 1;
    }
    sdk.setDelegate(nullptr);
    std::printf("TavlinSDK linked and running\n");
    return 0;
}
