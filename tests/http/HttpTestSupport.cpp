#include "HttpTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>

#include "PublicManager/QVLog.h"
#include "PublicManager/QVLogManager.h"

namespace HttpTest {

namespace {
LogCapture *&activeCapture()
{
    static LogCapture *capture = nullptr;
    return capture;
}
} // namespace

LogCapture::LogCapture()
{
    activeCapture() = this;
    m_previous = qInstallMessageHandler(&LogCapture::handle);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    activeCapture() = nullptr;
}

void LogCapture::handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (LogCapture *capture = activeCapture()) {
        QMutexLocker lock(&capture->m_mutex);
        capture->m_lines.append({type, QString::fromUtf8(context.category ? context.category : ""), message});
    }
}

QList<LogCapture::Line> LogCapture::lines() const
{
    QMutexLocker lock(&m_mutex);
    return m_lines;
}

int LogCapture::countContaining(const QString &part, std::optional<QtMsgType> type) const
{
    int n = 0;
    for (const Line &line : lines())
        n += line.text.contains(part) && (!type || line.type == *type) ? 1 : 0;
    return n;
}

QString LogCapture::all() const
{
    QStringList texts;
    for (const Line &line : lines())
        texts << line.text;
    return texts.join(QLatin1Char('\n'));
}

ProgramLogCapture::ProgramLogCapture()
{
    QVLogOptions options;
    options.folder = m_dir.path();
    options.console = false;
    options.asynchronous = false;
    QVLogManager().creatLogFile(options);
}

ProgramLogCapture::~ProgramLogCapture()
{
    QVLog::shutdown();
}

QString ProgramLogCapture::all() const
{
    QVLog::flush();
    QString text;
    for (const QString &name : QDir(m_dir.path()).entryList(QDir::Files, QDir::Name)) {
        QFile file(m_dir.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            text += QString::fromUtf8(file.readAll());
    }
    return text;
}

QList<ProgramLogCapture::Entry> ProgramLogCapture::entries() const
{
    // A line starts with "<time stamp> | <level> | "; a message may span
    // several lines.
    static const QRegularExpression start(QStringLiteral("^[^|\\n]+ \\| (ERROR|WARN|INFO|DEBUG|VIEW) \\| "),
                                          QRegularExpression::MultilineOption);
    const QString text = all();
    QList<Entry> result;
    QRegularExpressionMatchIterator it = start.globalMatch(text);
    QList<QRegularExpressionMatch> matches;
    while (it.hasNext())
        matches << it.next();
    for (qsizetype i = 0; i < matches.size(); ++i) {
        const qsizetype from = matches[i].capturedEnd();
        const qsizetype to = i + 1 < matches.size() ? matches[i + 1].capturedStart() : text.size();
        QString message = text.mid(from, to - from);
        if (message.endsWith(QLatin1Char('\n')))
            message.chop(1);
        result.append({matches[i].captured(1), message});
    }
    return result;
}

int ProgramLogCapture::countContaining(const QString &part, const QString &level) const
{
    int n = 0;
    for (const Entry &entry : entries())
        n += entry.message.contains(part) && (level.isEmpty() || entry.level == level) ? 1 : 0;
    return n;
}

std::shared_ptr<Outcome> start(const std::shared_ptr<QVHttpBaseRequest> &request, Road road)
{
    auto outcome = std::make_shared<Outcome>();
    auto success = [outcome](const QVHttpTask &task, const QVHttpBaseResponse &response) {
        ++outcome->successes;
        outcome->task = task;
        outcome->response = response;
    };
    auto failure = [outcome](const QVHttpTask &task, const TavlinError &error) {
        ++outcome->failures;
        outcome->task = task;
        outcome->error = error;
    };
    if (road == Road::WebService)
        request->startQUAVRequestWithSuccess(success, failure);
    else
        request->startGlimraHubRequestWithSuccess(success, failure);
    return outcome;
}

bool waitForEnd(const std::shared_ptr<Outcome> &outcome, int timeoutMs)
{
    const bool ended = TestSupport::waitFor([&] { return outcome->ends() > 0; }, timeoutMs);
    TestSupport::spin(30); // for a second end that must not come
    return ended;
}

QString refusedBaseUrl()
{
    // A port that was free a moment ago on an address of this test.
    QTcpServer probe;
    probe.listen(TestSupport::uniqueLoopbackAddress(), 0);
    const QString url = QStringLiteral("http://%1:%2").arg(probe.serverAddress().toString()).arg(probe.serverPort());
    probe.close();
    return url;
}

} // namespace HttpTest
