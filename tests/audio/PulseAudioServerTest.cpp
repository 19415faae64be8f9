// Against the run's private PulseAudio server: the configuration in the
// library's archive makes the virtual device, output switching moves the
// default output there and back, and its loop-back capture device records
// what plays to it, up to decodable RTP at the receiver emulator.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>

#include "AudioDriver/AudioDriverInstaller.h"
#include "AudioRtpReceiver.h"
#include "AudioSwitcher/AudioSwitcher.h"
#include "AudioTestSupport.h"
#include "FakePlatform.h"
#include "Mirror/AudioSession.h"
#include "Mirror/MediaThread.h"
#include "Platform/LinuxServices.h"
#include "Platform/LinuxSoundPlatform.h"
#include "TestSupport.h"

namespace {

QString pactl() { return QStringLiteral("pactl"); }

bool serverReachable()
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        return false;
    QList<Platform::SoundDevice> outputs;
    return Platform::Linux::makeSoundDevices()->listOutputDevices(&outputs) == 0;
}

QString defaultSink()
{
    return QString::fromUtf8(AudioTest::run(pactl(), {QStringLiteral("get-default-sink")})).trimmed();
}

class PulseAudioServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!TestSupport::requireFacility("PulseAudio server (PULSE_SERVER)", serverReachable()))
            GTEST_SKIP();
        originalDefault = defaultSink();
        ASSERT_FALSE(originalDefault.isEmpty());
        ASSERT_NE(originalDefault, QStringLiteral("Sonvale"));
    }

    void TearDown() override
    {
        for (QProcess *player : std::as_const(players)) {
            player->kill();
            player->waitForFinished();
            delete player;
        }
        // Unloading in reverse order: the capture device sits on the output.
        for (auto it = modules.crbegin(); it != modules.crend(); ++it)
            AudioTest::run(pactl(), {QStringLiteral("unload-module"), *it});
        if (!originalDefault.isEmpty())
            AudioTest::run(pactl(), {QStringLiteral("set-default-sink"), originalDefault});
    }

    // Loads every module line of the archive's PulseAudio configuration, as
    // the server does when it reads the file at start-up.
    void loadArchiveConfiguration()
    {
        QFile resource(QString::fromLatin1(AudioDriverInstaller::kArchiveResource));
        ASSERT_TRUE(resource.open(QIODevice::ReadOnly));
        ASSERT_TRUE(Platform::Linux::makeZipExtractor()->extract(resource.readAll(), staging.path()));
        QFile config(staging.filePath(QStringLiteral("Sonvale.driver/pulse/Sonvale.pa")));
        ASSERT_TRUE(config.open(QIODevice::ReadOnly));
        int loaded = 0;
        for (const QByteArray &raw : config.readAll().split('\n')) {
            const QString line = QString::fromUtf8(raw).trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            ASSERT_TRUE(line.startsWith(QLatin1String("load-module "))) << line.toStdString();
            const QString rest = line.mid(12).trimmed();
            const qsizetype space = rest.indexOf(QLatin1Char(' '));
            const QString name = space < 0 ? rest : rest.left(space);
            const QString arguments = space < 0 ? QString() : rest.mid(space + 1);
            bool ok = false;
            const QByteArray index = AudioTest::run(pactl(), {QStringLiteral("load-module"), name, arguments}, &ok);
            ASSERT_TRUE(ok) << line.toStdString();
            modules << QString::fromUtf8(index).trimmed();
            ++loaded;
        }
        ASSERT_EQ(loaded, 2);
    }

    // Plays a tone to the named output until the test ends.
    void play(const QString &device, double hz, int seconds)
    {
        auto *player = new QProcess;
        players << player;
        QStringList arguments{QStringLiteral("--playback"), QStringLiteral("--format=s16le"),
                              QStringLiteral("--rate=44100"), QStringLiteral("--channels=2")};
        if (!device.isEmpty())
            arguments << QStringLiteral("--device=") + device;
        player->start(QStringLiteral("pacat"), arguments);
        ASSERT_TRUE(player->waitForStarted());
        player->write(AudioTest::stereoTone(44100 * seconds, hz, hz));
    }

    std::shared_ptr<Platform::SoundDevices> devices = Platform::Linux::makeSoundDevices();
    QTemporaryDir staging;
    QStringList modules;
    QList<QProcess *> players;
    QString originalDefault;
};

TEST_F(PulseAudioServerTest, TheArchiveConfigurationMakesTheOutputAndItsLoopBackCaptureDevice)
{
    AudioDriverServices services;
    services.devices = devices;
    services.commandRunner = std::make_shared<Platform::Fake::FakeCommandRunner>();
    AudioDriverInstaller installer(services);
    EXPECT_FALSE(installer.isSonvaleInstalled());

    loadArchiveConfiguration();

    EXPECT_TRUE(installer.isSonvaleInstalled());
    EXPECT_FALSE(installer.isTavlinAudioInstalled());
    QList<Platform::SoundDevice> captures;
    ASSERT_EQ(devices->listCaptureDevices(&captures), 0);
    const auto echovane = std::find_if(captures.cbegin(), captures.cend(), [](const Platform::SoundDevice &d) {
        return d.uniqueId == QLatin1String("Echovane:0");
    });
    ASSERT_NE(echovane, captures.cend());
    EXPECT_EQ(echovane->name, QStringLiteral("Echovane"));
    EXPECT_NE(echovane->id, 0u);

    AudioSessionServices sessionServices;
    sessionServices.devices = devices;
    MediaThread media;
    AudioSession session(std::make_shared<Device>(), 9, sessionServices, media);
    ASSERT_TRUE(session.getRecordingAudioDevice());
    EXPECT_EQ(session.getRecordingAudioDevice()->name, QStringLiteral("Echovane"));

    // The device is there: the wait after a restart ends at the first look.
    EXPECT_TRUE(installer.loadHalAudio());
}

TEST_F(PulseAudioServerTest, OutputSwitchingMovesTheDefaultOutputAndItsStreamsThereAndBack)
{
    loadArchiveConfiguration();
    play(QString(), 440, 20); // a stream on the current default output
    ASSERT_TRUE(TestSupport::waitFor([] {
        return !AudioTest::run(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("short"),
                                                         QStringLiteral("sink-inputs")})
                    .trimmed()
                    .isEmpty();
    }));

    const quint32 remembered = currentOutputDeviceID(*devices);
    ASSERT_NE(remembered, 0u);
    ASSERT_TRUE(set_output_device_by_name(*devices, "Sonvale"));
    EXPECT_EQ(defaultSink(), QStringLiteral("Sonvale"));

    // The playing stream followed the output.
    const QByteArray sinks = AudioTest::run(pactl(), {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sinks")});
    QString sonvaleIndex;
    for (const QByteArray &line : sinks.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() > 1 && fields[1] == "Sonvale")
            sonvaleIndex = QString::fromUtf8(fields[0]);
    }
    ASSERT_FALSE(sonvaleIndex.isEmpty());
    ASSERT_TRUE(TestSupport::waitFor([&] {
        const QByteArray inputs = AudioTest::run(pactl(), {QStringLiteral("list"), QStringLiteral("short"),
                                                           QStringLiteral("sink-inputs")});
        const QList<QByteArray> fields = inputs.trimmed().split('\t');
        return fields.size() > 1 && QString::fromUtf8(fields[1]) == sonvaleIndex;
    }, 3000));

    // While the virtual device is the output it is never what a cast would
    // restore.
    EXPECT_EQ(currentOutputDeviceID(*devices), remembered);

    ASSERT_TRUE(set_output_device_id(*devices, remembered));
    EXPECT_EQ(defaultSink(), originalDefault);
    EXPECT_FALSE(set_output_device_by_name(*devices, "NoSuchOutput"));
    EXPECT_EQ(defaultSink(), originalDefault);
}

TEST_F(PulseAudioServerTest, TheLoopBackCaptureDeviceRecordsWhatPlaysToTheOutput)
{
    loadArchiveConfiguration();
    QMutex mutex;
    QByteArray recorded;
    int chunks = 0;
    auto source = Platform::Linux::makeSoundSource();
    ASSERT_TRUE(source->start(QStringLiteral("Echovane"), {44100, 2}, [&](const QByteArray &pcm) {
        QMutexLocker locker(&mutex);
        EXPECT_NE(QThread::currentThread(), QCoreApplication::instance()->thread());
        recorded += pcm;
        ++chunks;
    }, {}));
    play(QStringLiteral("Sonvale"), 1000, 10);

    // Waits for two seconds of sound with the tone in it.
    const int wanted = 2 * 44100 * 4;
    const bool enough = TestSupport::waitFor([&] {
        QMutexLocker locker(&mutex);
        return recorded.size() >= wanted
               && AudioTest::dominantFrequencyOfPcm(recorded.right(44100 * 4 / 2), 0, 2, 44100) == 1000;
    }, 15000);
    source->stop();
    ASSERT_TRUE(enough);
    const int chunksAtStop = chunks;
    QThread::msleep(100); // for a chunk that must not come
    EXPECT_EQ(chunks, chunksAtStop);

    EXPECT_FALSE(source->start(QStringLiteral("NoSuchSource"), {44100, 2}, [](const QByteArray &) {}, {}));
}

TEST_F(PulseAudioServerTest, TheCastsSoundArrivesDecodableAtTheReceiver)
{
    loadArchiveConfiguration();
    const QHostAddress address = TestSupport::uniqueLoopbackAddress();
    ReceiverEmulator emulator(address);
    AudioRtpReceiver &receiver = *emulator.addComponent<AudioRtpReceiver>();
    ASSERT_TRUE(emulator.start()) << emulator.errorString().toStdString();
    auto device = std::make_shared<Device>();
    device->mHostIp = address.toString();

    MediaThread media;
    media.start();
    AudioSession session(device, receiver.port(), AudioSessionServices::fromPlatform(Platform::Linux::makePlatformServices()),
                         media);
    session.start();
    ASSERT_TRUE(session.isCapturing());
    play(QStringLiteral("Sonvale"), 1000, 10);

    const bool heard = TestSupport::waitFor([&] {
        const QVector<float> left = receiver.channelSamples(0);
        return left.size() > 44100 * 2
               && AudioTest::dominantFrequency(left.mid(left.size() - 22050), 44100) == 1000;
    }, 15000);
    session.stop();
    ASSERT_TRUE(heard);
    EXPECT_TRUE(receiver.problems().isEmpty()) << receiver.problems().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(receiver.channels(), 2);
    EXPECT_EQ(receiver.sampleRate(), 44100);
    EXPECT_EQ(receiver.frameSizes().value(0), 480);
}

} // namespace

namespace {

// The server's numbers of the clients this process opened (they carry the
// library's application name).
QStringList ourClients(const QString &server)
{
    const QString text = QString::fromUtf8(
        AudioTest::run(pactl(), {QStringLiteral("-s"), server, QStringLiteral("list"), QStringLiteral("clients")}));
    QStringList clients;
    QString current;
    for (const QString &raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1String("Client #")))
            current = line.mid(8);
        else if (line == QLatin1String("application.name = \"Tavlin\"") && !clients.contains(current))
            clients << current;
    }
    return clients;
}

} // namespace

// However many devices are listed and sounds recorded, the process's services
// hold one connection to the server; one the server drops is made again by
// the next request. The process reaches the server through a socket of the
// test's own, whose closing drops this process's connection alone.
TEST_F(PulseAudioServerTest, TheProcessHoldsOneConnectionMadeAgainWhenTheServerDropsIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString server = qEnvironmentVariable("PULSE_SERVER");
    const auto serverCommand = [&](const QStringList &arguments) {
        bool ok = false;
        const QByteArray out = AudioTest::run(pactl(), QStringList{QStringLiteral("-s"), server} + arguments, &ok);
        EXPECT_TRUE(ok) << arguments.join(QLatin1Char(' ')).toStdString();
        return QString::fromUtf8(out).trimmed();
    };
    // A socket file stays behind when its module goes: each opening has its own.
    int openings = 0;
    const auto openSocket = [&] {
        const QString socket = dir.filePath(QString::number(++openings));
        const QString module = serverCommand({QStringLiteral("load-module"),
                                              QStringLiteral("module-native-protocol-unix"),
                                              QStringLiteral("auth-anonymous=1 socket=") + socket});
        qputenv("PULSE_SERVER", "unix:" + socket.toUtf8());
        return module;
    };
    QString module = openSocket();
    const auto restore = qScopeGuard([&] {
        qputenv("PULSE_SERVER", server.toUtf8());
        serverCommand({QStringLiteral("unload-module"), module});
    });
    const auto ours = [&] { return ourClients(server); };

    const Platform::PlatformServices platform = Platform::Linux::makePlatformServices();
    ASSERT_TRUE(TestSupport::waitFor([&] { return ours().isEmpty(); })) << ours().join(' ').toStdString();
    QList<Platform::SoundDevice> listed;
    ASSERT_EQ(platform.soundDevices->listOutputDevices(&listed), 0);
    ASSERT_EQ(platform.soundDevices->listCaptureDevices(&listed), 0);
    EXPECT_NE(platform.soundDevices->defaultOutputDevice(), 0u);
    const QStringList clients = ours();
    ASSERT_EQ(clients.size(), 1) << clients.join(' ').toStdString();
    const std::unique_ptr<Platform::SoundSource> source = platform.makeSoundSource();
    ASSERT_TRUE(source->start(originalDefault + QStringLiteral(".monitor"), {}, [](const QByteArray &) {}, {}));
    EXPECT_EQ(ours(), clients);
    source->stop();
    EXPECT_EQ(ours(), clients);

    serverCommand({QStringLiteral("unload-module"), module});
    ASSERT_TRUE(TestSupport::waitFor([&] { return ours().isEmpty(); }));
    module = openSocket();
    EXPECT_EQ(platform.soundDevices->listOutputDevices(&listed), 0);
    EXPECT_FALSE(listed.isEmpty());
    const QStringList again = ours();
    ASSERT_EQ(again.size(), 1);
    EXPECT_FALSE(clients.contains(again.first()));
}
