#include "ReceiverEmulator.h"

ReceiverComponent::ReceiverComponent(ReceiverEmulator &emulator) : QObject(&emulator), m_emulator(emulator) {}

ReceiverComponent::~ReceiverComponent() = default;

ReceiverEmulator::ReceiverEmulator(const QHostAddress &address, QObject *parent)
    : QObject(parent), m_address(address)
{
}

ReceiverEmulator::~ReceiverEmulator()
{
    stop();
}

void ReceiverEmulator::setProfile(const ReceiverProfile &profile)
{
    m_profile = profile;
    emit profileChanged();
}

void ReceiverEmulator::adopt(ReceiverComponent *component)
{
    if (component->parent() != this)
        component->setParent(this);
    m_components.append(component);
    connect(component, &QObject::destroyed, this, [this, component] { m_components.removeAll(component); });
    if (m_running) {
        QString error;
        if (!component->start(&error))
            m_error = component->componentName() + QStringLiteral(": ") + error;
    }
}

ReceiverComponent *ReceiverEmulator::component(const QString &name) const
{
    for (ReceiverComponent *candidate : m_components) {
        if (candidate->componentName() == name)
            return candidate;
    }
    return nullptr;
}

bool ReceiverEmulator::start()
{
    if (m_running)
        return true;
    m_error.clear();
    for (qsizetype i = 0; i < m_components.size(); ++i) {
        QString error;
        if (!m_components.at(i)->start(&error)) {
            m_error = m_components.at(i)->componentName() + QStringLiteral(": ") + error;
            for (qsizetype j = 0; j < i; ++j)
                m_components.at(j)->stop();
            return false;
        }
    }
    m_running = true;
    return true;
}

void ReceiverEmulator::stop()
{
    if (!m_running)
        return;
    m_running = false;
    for (ReceiverComponent *component : std::as_const(m_components))
        component->stop();
}
