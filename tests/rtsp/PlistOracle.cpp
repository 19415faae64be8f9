#include "PlistOracle.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "TestSupport.h"

namespace PlistOracle {

namespace {

const char kDecodeScript[] = R"PY(
import json, plistlib, sys
def tag(v):
    if isinstance(v, bool): return {"bool": v}
    if isinstance(v, int): return {"int": v}
    if isinstance(v, float): return {"real": v}
    if isinstance(v, bytes): return {"data": v.hex()}
    if isinstance(v, str): return {"str": v}
    if isinstance(v, list): return [tag(x) for x in v]
    if isinstance(v, dict): return {k: tag(x) for k, x in v.items()}
    return {"other": repr(v)}
try:
    value = plistlib.loads(sys.stdin.buffer.read())
except Exception as e:
    sys.stdout.write("ERROR " + type(e).__name__)
    sys.exit(0)
sys.stdout.write(json.dumps({"value": tag(value)}))
)PY";

QByteArray runPython(const QString &script, const QByteArray &input)
{
    QProcess process;
    process.start(TestSupport::python3(), {QStringLiteral("-c"), script});
    if (!process.waitForStarted(10000))
        return {};
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(30000);
    return process.readAllStandardOutput();
}

QByteArray encode(const QString &pythonValue, const char *format)
{
    const QString script = QStringLiteral("import plistlib, sys\n"
                                          "sys.stdout.buffer.write(plistlib.dumps(%1, fmt=plistlib.%2))\n")
                               .arg(pythonValue, QLatin1String(format));
    return runPython(script, {});
}

} // namespace

bool available()
{
    return !TestSupport::python3().isEmpty();
}

std::optional<QJsonValue> decode(const QByteArray &bytes)
{
    const QByteArray out = runPython(QString::fromLatin1(kDecodeScript), bytes);
    const QJsonDocument document = QJsonDocument::fromJson(out);
    if (!document.isObject())
        return std::nullopt;
    return document.object().value(QLatin1String("value"));
}

QByteArray encodeBinary(const QString &pythonValue)
{
    return encode(pythonValue, "FMT_BINARY");
}

QByteArray encodeXml(const QString &pythonValue)
{
    return encode(pythonValue, "FMT_XML");
}

QList<QPair<QByteArray, QByteArray>> encodeBoth(const QStringList &pythonValues)
{
    // One literal per input line; one line of two hex fields per literal.
    const QString script = QStringLiteral(R"PY(
import plistlib, sys
for line in sys.stdin.read().splitlines():
    forms = []
    for fmt in (plistlib.FMT_BINARY, plistlib.FMT_XML):
        try:
            forms.append(plistlib.dumps(eval(line), fmt=fmt).hex())
        except Exception:
            forms.append("")
    sys.stdout.write(" ".join(forms) + " \n")
)PY");
    const QByteArray out = runPython(script, pythonValues.join(QLatin1Char('\n')).toUtf8() + '\n');
    QList<QPair<QByteArray, QByteArray>> result;
    for (const QByteArray &line : out.split('\n')) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> fields = line.split(' ');
        result.append({QByteArray::fromHex(fields.value(0)), QByteArray::fromHex(fields.value(1))});
    }
    return result;
}

QJsonValue tagged(const char *json)
{
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray("{\"v\":") + json + "}");
    return document.object().value(QLatin1String("v"));
}

} // namespace PlistOracle
