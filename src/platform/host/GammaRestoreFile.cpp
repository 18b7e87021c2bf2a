#include "platform/host/GammaRestoreFile.h"

#include "runtime/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

#include <unistd.h>

namespace qv {

namespace {
const QString kFormat = QStringLiteral("quellvista-gamma-ramps");
constexpr int kVersion = 1;

QString encodeChannel(const QList<quint16> &values)
{
    QByteArray bytes(values.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < values.size(); ++i)
        qToLittleEndian(values[i], bytes.data() + 2 * i);
    return QString::fromLatin1(bytes.toBase64());
}

bool decodeChannel(const QJsonValue &value, QList<quint16> *values)
{
    if (!value.isString())
        return false;
    const auto decoded = QByteArray::fromBase64Encoding(value.toString().toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() % 2 != 0)
        return false;
    const QByteArray &bytes = decoded.decoded;
    values->resize(bytes.size() / 2);
    for (qsizetype i = 0; i < values->size(); ++i)
        (*values)[i] = qFromLittleEndian<quint16>(bytes.constData() + 2 * i);
    return true;
}
} // namespace

QString GammaRestoreFile::pathForDisplay(const QString &displayName)
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty())
        folder = QDir::tempPath() + QStringLiteral("/quellvista-runtime-%1").arg(getuid());
    QString name = displayName;
    for (QChar &c : name) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('.'))
            c = QLatin1Char('_');
    }
    return folder + QStringLiteral("/Quellvista/gamma-ramps-") + name + QStringLiteral(".json");
}

GammaRestoreFile::State GammaRestoreFile::read(const QString &displayName, QList<SavedGammaRamp> *ramps,
                                               QString *error) const
{
    ramps->clear();
    const files::StoredFile stored = files::readStoredFile(m_path);
    if (stored.state == files::StoredFile::State::absent)
        return State::absent;
    const auto corrupt = [error](const QString &why) {
        if (error)
            *error = why;
        return State::corrupt;
    };
    if (stored.state == files::StoredFile::State::unreadable)
        return corrupt(stored.error);
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(stored.bytes, &parseError);
    if (!document.isObject())
        return corrupt(parseError.error != QJsonParseError::NoError
                             ? QStringLiteral("it is not JSON (%1)").arg(parseError.errorString())
                             : QStringLiteral("it is not a JSON object"));
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("format")).toString() != kFormat
        || root.value(QStringLiteral("version")).toInt() != kVersion)
        return corrupt(QStringLiteral("it is of another format"));
    if (root.value(QStringLiteral("display")).toString() != displayName)
        return corrupt(QStringLiteral("they were kept for display \"%1\"").arg(root.value(QStringLiteral("display")).toString()));
    const QJsonValue list = root.value(QStringLiteral("crtcs"));
    if (!list.isArray())
        return corrupt(QStringLiteral("it has no CRTC list"));
    for (const QJsonValue &entry : list.toArray()) {
        const QJsonObject object = entry.toObject();
        SavedGammaRamp saved;
        const double crtc = object.value(QStringLiteral("crtc")).toDouble(-1);
        if (crtc < 1 || crtc > 0xffffffffu || crtc != double(quint32(crtc)))
            return corrupt(QStringLiteral("a CRTC is not a number"));
        saved.crtc = quint32(crtc);
        for (const QJsonValue &output : object.value(QStringLiteral("outputs")).toArray())
            saved.outputs << output.toString();
        if (!decodeChannel(object.value(QStringLiteral("red")), &saved.ramp.red)
            || !decodeChannel(object.value(QStringLiteral("green")), &saved.ramp.green)
            || !decodeChannel(object.value(QStringLiteral("blue")), &saved.ramp.blue))
            return corrupt(QStringLiteral("a ramp cannot be decoded"));
        if (saved.ramp.green.size() != saved.ramp.red.size() || saved.ramp.blue.size() != saved.ramp.red.size())
            return corrupt(QStringLiteral("a ramp has %1 red, %2 green and %3 blue entries")
                               .arg(saved.ramp.red.size())
                               .arg(saved.ramp.green.size())
                               .arg(saved.ramp.blue.size()));
        if (!isUsableGammaRampSize(saved.ramp.size()))
            return corrupt(QStringLiteral("a ramp has %1 entries, not 2 to %2").arg(saved.ramp.size()).arg(kMaxGammaRampSize));
        ramps->append(saved);
    }
    return State::read;
}

bool GammaRestoreFile::write(const QString &displayName, const QList<SavedGammaRamp> &ramps, QString *error) const
{
    QJsonArray list;
    for (const SavedGammaRamp &saved : ramps) {
        list.append(QJsonObject{{QStringLiteral("crtc"), double(saved.crtc)},
                                {QStringLiteral("outputs"), QJsonArray::fromStringList(saved.outputs)},
                                {QStringLiteral("red"), encodeChannel(saved.ramp.red)},
                                {QStringLiteral("green"), encodeChannel(saved.ramp.green)},
                                {QStringLiteral("blue"), encodeChannel(saved.ramp.blue)}});
    }
    const QJsonObject root{{QStringLiteral("format"), kFormat},
                           {QStringLiteral("version"), kVersion},
                           {QStringLiteral("display"), displayName},
                           {QStringLiteral("crtcs"), list}};
    // The runtime folder is the user's own; ours inside it is too.
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QFile::setPermissions(QFileInfo(m_path).absolutePath(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return files::writeAtomically(m_path, QJsonDocument(root).toJson(QJsonDocument::Compact), error);
}

void GammaRestoreFile::remove() const
{
    QFile::remove(m_path);
}

} // namespace qv
