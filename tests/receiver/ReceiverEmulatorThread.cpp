#include "ReceiverEmulatorThread.h"

ReceiverEmulatorThread::ReceiverEmulatorThread(const QHostAddress &address)
    : m_address(address), m_emulator(new ReceiverEmulator(address))
{
    m_thread.setObjectName(QStringLiteral("receiver ") + address.toString());
    m_emulator->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_emulator, &QObject::deleteLater);
    m_thread.start();
}

ReceiverEmulatorThread::~ReceiverEmulatorThread()
{
    call([](ReceiverEmulator &emulator) { emulator.stop(); });
    m_thread.quit();
    m_thread.wait();
}

bool ReceiverEmulatorThread::start()
{
    return call([](ReceiverEmulator &emulator) { return emulator.start(); });
}
