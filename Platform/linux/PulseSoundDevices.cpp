#include <pulse/pulseaudio.h>

#include <QHash>
#include <QMutex>
#include <QMutexLocker>

#include "Platform/LinuxSoundPlatform.h"
#include "PulseConnection.h"

namespace Platform::Linux {
namespace {

constexpr const char *kUniqueIdProperty = "device.unique_id";

struct DeviceRecord {
    QString name;
    QString description;
    QString uniqueId;
    quint32 serverIndex = PA_INVALID_INDEX;
};

struct ListRequest {
    pa_threaded_mainloop *loop = nullptr;
    QList<DeviceRecord> records;
};

DeviceRecord recordFrom(const char *name, const char *description, pa_proplist *properties, quint32 index)
{
    DeviceRecord record;
    record.name = QString::fromUtf8(name ? name : "");
    record.description = QString::fromUtf8(description ? description : "");
    const char *unique = properties ? pa_proplist_gets(properties, kUniqueIdProperty) : nullptr;
    record.uniqueId = unique ? QString::fromUtf8(unique) : record.name;
    record.serverIndex = index;
    return record;
}

void onSinkInfo(pa_context *, const pa_sink_info *info, int eol, void *userdata)
{
    auto *request = static_cast<ListRequest *>(userdata);
    if (eol == 0 && info)
        request->records.append(recordFrom(info->name, info->description, info->proplist, info->index));
    if (eol != 0)
        pa_threaded_mainloop_signal(request->loop, 0);
}

void onSourceInfo(pa_context *, const pa_source_info *info, int eol, void *userdata)
{
    auto *request = static_cast<ListRequest *>(userdata);
    if (eol == 0 && info)
        request->records.append(recordFrom(info->name, info->description, info->proplist, info->index));
    if (eol != 0)
        pa_threaded_mainloop_signal(request->loop, 0);
}

struct ServerInfoRequest {
    pa_threaded_mainloop *loop = nullptr;
    QString defaultSink;
};

void onServerInfo(pa_context *, const pa_server_info *info, void *userdata)
{
    auto *request = static_cast<ServerInfoRequest *>(userdata);
    if (info && info->default_sink_name)
        request->defaultSink = QString::fromUtf8(info->default_sink_name);
    pa_threaded_mainloop_signal(request->loop, 0);
}

struct SinkInputsRequest {
    pa_threaded_mainloop *loop = nullptr;
    QList<QPair<quint32, quint32>> inputs; // (input index, sink index)
};

void onSinkInputInfo(pa_context *, const pa_sink_input_info *info, int eol, void *userdata)
{
    auto *request = static_cast<SinkInputsRequest *>(userdata);
    if (eol == 0 && info)
        request->inputs.append({info->index, info->sink});
    if (eol != 0)
        pa_threaded_mainloop_signal(request->loop, 0);
}

struct SuccessRequest {
    pa_threaded_mainloop *loop = nullptr;
    bool success = false;
};

void onSuccess(pa_context *, int success, void *userdata)
{
    auto *request = static_cast<SuccessRequest *>(userdata);
    request->success = success != 0;
    pa_threaded_mainloop_signal(request->loop, 0);
}

// Every call goes through the link's one connection, which is opened again
// when the server was restarted in between.
class PulseSoundDevices final : public SoundDevices {
public:
    explicit PulseSoundDevices(std::shared_ptr<PulseLink> link) : m_link(std::move(link)) {}

    int listOutputDevices(QList<SoundDevice> *devices) override
    {
        QList<DeviceRecord> records;
        const int status = listRecords(true, &records);
        if (devices)
            *devices = toDevices(QStringLiteral("sink:"), records);
        return status;
    }

    int listCaptureDevices(QList<SoundDevice> *devices) override
    {
        QList<DeviceRecord> records;
        const int status = listRecords(false, &records);
        if (devices)
            *devices = toDevices(QStringLiteral("source:"), records);
        return status;
    }

    quint32 defaultOutputDevice() override
    {
        const std::shared_ptr<PulseConnection> connection = m_link->connection();
        if (!connection)
            return 0;
        const QString sink = defaultSinkName(*connection);
        return sink.isEmpty() ? 0 : idFor(QStringLiteral("sink:") + sink);
    }

    bool setDefaultOutputDevice(quint32 id) override
    {
        const QString name = nameFor(id, QStringLiteral("sink:"));
        if (name.isEmpty())
            return false;
        const std::shared_ptr<PulseConnection> link = m_link->connection();
        if (!link)
            return false;
        PulseConnection &connection = *link;

        QList<DeviceRecord> sinks;
        if (listWith(connection, true, &sinks) != 0)
            return false;
        quint32 newIndex = PA_INVALID_INDEX;
        quint32 oldIndex = PA_INVALID_INDEX;
        const QString oldName = defaultSinkName(connection);
        for (const DeviceRecord &sink : sinks) {
            if (sink.name == name)
                newIndex = sink.serverIndex;
            if (sink.name == oldName)
                oldIndex = sink.serverIndex;
        }
        if (newIndex == PA_INVALID_INDEX)
            return false;

        const QByteArray utf8 = name.toUtf8();
        SuccessRequest set{connection.loop(), false};
        if (!connection.run([&](pa_context *context) {
                return pa_context_set_default_sink(context, utf8.constData(), onSuccess, &set);
            }) || !set.success)
            return false;

        // Servers that do not let streams follow the default on their own
        // would leave the sound where it was; move what played there.
        if (oldIndex != PA_INVALID_INDEX && oldIndex != newIndex) {
            SinkInputsRequest inputs{connection.loop(), {}};
            connection.run([&](pa_context *context) {
                return pa_context_get_sink_input_info_list(context, onSinkInputInfo, &inputs);
            });
            for (const auto &input : std::as_const(inputs.inputs)) {
                if (input.second != oldIndex)
                    continue;
                SuccessRequest move{connection.loop(), false};
                connection.run([&](pa_context *context) {
                    return pa_context_move_sink_input_by_index(context, input.first, newIndex, onSuccess, &move);
                });
            }
        }
        return true;
    }

private:
    int listRecords(bool sinks, QList<DeviceRecord> *records)
    {
        int error = 0;
        const std::shared_ptr<PulseConnection> connection = m_link->connection(&error);
        if (!connection)
            return error;
        return listWith(*connection, sinks, records);
    }

    static int listWith(PulseConnection &connection, bool sinks, QList<DeviceRecord> *records)
    {
        ListRequest request{connection.loop(), {}};
        const bool done = connection.run([&](pa_context *context) {
            return sinks ? pa_context_get_sink_info_list(context, onSinkInfo, &request)
                         : pa_context_get_source_info_list(context, onSourceInfo, &request);
        });
        if (!done)
            return connection.error();
        *records = request.records;
        return 0;
    }

    static QString defaultSinkName(PulseConnection &connection)
    {
        ServerInfoRequest request{connection.loop(), {}};
        if (!connection.run([&](pa_context *context) {
                return pa_context_get_server_info(context, onServerInfo, &request);
            }))
            return {};
        return request.defaultSink;
    }

    QList<SoundDevice> toDevices(const QString &kind, const QList<DeviceRecord> &records)
    {
        QList<SoundDevice> devices;
        for (const DeviceRecord &record : records)
            devices.append({idFor(kind + record.name), record.name, record.description, record.uniqueId});
        return devices;
    }

    // Server indexes start at 0 and change when the server restarts; the
    // library's ids are numbered per name from 1 instead.
    quint32 idFor(const QString &key)
    {
        QMutexLocker locker(&m_mutex);
        auto it = m_ids.constFind(key);
        if (it != m_ids.constEnd())
            return it.value();
        const quint32 id = ++m_lastId;
        m_ids.insert(key, id);
        return id;
    }

    QString nameFor(quint32 id, const QString &kind)
    {
        QMutexLocker locker(&m_mutex);
        for (auto it = m_ids.constBegin(); it != m_ids.constEnd(); ++it) {
            if (it.value() == id && it.key().startsWith(kind))
                return it.key().mid(kind.size());
        }
        return {};
    }

    std::shared_ptr<PulseLink> m_link;
    QMutex m_mutex;
    QHash<QString, quint32> m_ids;
    quint32 m_lastId = 0;
};

} // namespace

std::shared_ptr<SoundDevices> makeSoundDevices(std::shared_ptr<PulseLink> link)
{
    return std::make_shared<PulseSoundDevices>(std::move(link));
}

std::shared_ptr<SoundDevices> makeSoundDevices() { return makeSoundDevices(std::make_shared<PulseLink>()); }

} // namespace Platform::Linux
