// Reads the gamma ramp of the X server's first active CRTC (DISPLAY), or with -o OUTPUT
// first, of the CRTC that output drives, and checks or sets it:
//   qv_gammacheck save FILE        keeps the ramp in FILE
//   qv_gammacheck same FILE        exit 0 when the ramp equals the one in FILE
//   qv_gammacheck near FILE        exit 0 when it equals that one within one 16-bit step
//   qv_gammacheck differs FILE     exit 0 when it does not
//   qv_gammacheck preset NAME I [ORIGINAL]
//                                  exit 0 when it is the transfer formula of the built-in
//                                  preset NAME at intensity I on a display that is not
//                                  mini-LED, within one 16-bit step at every entry; laid
//                                  over the ramp kept in ORIGINAL (as save writes it) where
//                                  given, as on a CRTC whose original we keep
//   qv_gammacheck values NAME I    prints the stored-defaults members of the tuning values
//                                  of that preset (no ramp needed)
//   qv_gammacheck own N NAME I [OUTPUT]
//                                  prints the stored-defaults members that select the monitor
//                                  with real EDID N (alone of its kind, or a twin on OUTPUT)
//                                  with a tuning set of its own: that preset's values (no
//                                  ramp needed)
//   qv_gammacheck top FRACTION     exit 0 when every channel's last entry is FRACTION of
//                                  full scale within 1 %
//   qv_gammacheck start SEED       sets a non-identity ramp of its own for each seed 0..4
//   qv_gammacheck edid N           publishes real EDID N (0..2) on the output (-o), as a
//                                  driver does after a probe; "edid none" deletes it
//   qv_gammacheck wm FILE          a window manager taking over (--replace) as KWin does:
//                                  takes the first screen's WM_S0, sets every lit CRTC's
//                                  ramp to identity, writes "reset" to FILE, and holds the
//                                  selection until it is killed
// With -f FILE first, the ramp is the one kept in FILE (as save writes it: red, green, blue,
// 16-bit entries each) instead of one read from the X server (a compositor's, read by a
// helper).
// Answers 1 for "not (yet)", 2 for a fault (no server, no ramp, bad arguments).

#include "comfort/ComfortPreset.h"
#include "comfort/PresetManager.h"
#include "display/DisplayTuning.h"
#include "display/TuningFormula.h"
#include "platform/host/Edid.h"
#include "platform/host/GammaRamp.h"
#include "support/RandrClient.h"
#include "support/RealEdids.h"
#include "support/X11SelectionOwner.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <unistd.h>

namespace {

std::optional<qv::GammaRamp> readRamp(qv::test::RandrClient &client, const QString &output)
{
    if (!output.isEmpty())
        return client.ramp(output);
    const QStringList lit = client.litOutputs();
    return lit.isEmpty() ? std::nullopt : client.ramp(lit.first());
}

std::optional<qv::GammaRamp> loadRamp(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty() || bytes.size() % 6 != 0)
        return std::nullopt;
    const int size = int(bytes.size() / 6);
    qv::GammaRamp ramp;
    const auto *values = reinterpret_cast<const quint16 *>(bytes.constData());
    for (auto *channel : {&ramp.red, &ramp.green, &ramp.blue}) {
        *channel = QList<quint16>(values, values + size);
        values += size;
    }
    return ramp;
}

QByteArray bytesOf(const qv::GammaRamp &ramp)
{
    QByteArray bytes;
    for (const auto *channel : {&ramp.red, &ramp.green, &ramp.blue})
        bytes += QByteArray(reinterpret_cast<const char *>(channel->constData()), channel->size() * 2);
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    QString output, rampFile;
    if (argc >= 3 && std::strcmp(argv[1], "-o") == 0) {
        output = QString::fromLocal8Bit(argv[2]);
        argv += 2;
        argc -= 2;
    }
    if (argc >= 3 && std::strcmp(argv[1], "-f") == 0) {
        rampFile = QString::fromLocal8Bit(argv[2]);
        argv += 2;
        argc -= 2;
    }
    if (argc < 3)
        return 2;
    const QString command = QString::fromLocal8Bit(argv[1]);
    if (command == QLatin1String("values") && argc >= 4) {
        const auto preset = qv::presetFromRawValue(QString::fromLocal8Bit(argv[2]));
        if (!preset)
            return 2;
        const qv::PresetValues p = qv::computedPresetValues(*preset, std::atof(argv[3]));
        std::printf("\"tuning.enabled\":{\"t\":\"bool\",\"v\":true},"
                    "\"tuning.brightness\":{\"t\":\"double\",\"v\":%.17g},"
                    "\"tuning.warmth\":{\"t\":\"double\",\"v\":%.17g},"
                    "\"tuning.contrast\":{\"t\":\"double\",\"v\":%.17g},"
                    "\"tuning.softWhite\":{\"t\":\"double\",\"v\":%.17g},"
                    "\"tuning.highlightCompression\":{\"t\":\"double\",\"v\":%.17g}\n",
                    p.tuning.brightness, p.tuning.warmth, p.tuning.contrastReduction, p.tuning.softWhite, p.tuning.highlightCompression);
        return 0;
    }
    if (command == QLatin1String("own") && argc >= 5) {
        const int index = std::atoi(argv[2]);
        const auto preset = qv::presetFromRawValue(QString::fromLocal8Bit(argv[3]));
        if (!preset || index < 0 || index > 2)
            return 2;
        const QString port = argc >= 6 ? QString::fromLocal8Bit(argv[5]) : QString();
        const quint32 id = qv::monitorDisplayId(qv::decodeEdid(qv::test::kRealEdids[index]), port, !port.isEmpty());
        const qv::TuningValues values = qv::presetTuningValues(qv::computedPresetValues(*preset, std::atof(argv[4])));
        const QJsonObject map{{QString::number(id), values.toJson()}};
        std::printf("\"tuning.selectedDisplayID\":{\"t\":\"int\",\"v\":\"%u\"},"
                    "\"tuning.perDisplayValues\":{\"t\":\"data\",\"v\":\"%s\"}\n",
                    id, QJsonDocument(map).toJson(QJsonDocument::Compact).toBase64().constData());
        return 0;
    }
    qv::test::RandrClient client(rampFile.isEmpty() ? QString() : QStringLiteral("-"));
    if (rampFile.isEmpty() && !client.isConnected()) {
        std::fprintf(stderr, "qv_gammacheck: no X server\n");
        return 2;
    }
    if (command == QLatin1String("edid")) {
        const int index = std::atoi(argv[2]);
        if (output.isEmpty() || (std::strcmp(argv[2], "none") != 0 && (index < 0 || index > 2)))
            return 2;
        const QByteArray edid = std::strcmp(argv[2], "none") == 0 ? QByteArray() : qv::test::kRealEdids[index];
        return client.publishEdid(output, edid) ? 0 : 2;
    }
    if (command == QLatin1String("wm")) {
        qv::test::X11SelectionOwner manager("WM_S0");
        manager.own();
        for (const QString &lit : client.litOutputs()) {
            const std::optional<qv::GammaRamp> now = client.ramp(lit);
            if (!now || !client.setRamp(lit, qv::gammaRampForFormula(qv::TransferFormula::identity(), now->size())))
                return 2;
        }
        QFile file(QString::fromLocal8Bit(argv[2]));
        if (!file.open(QIODevice::WriteOnly) || file.write("reset\n") <= 0)
            return 2;
        file.close();
        for (;;)
            ::pause();
    }
    const std::optional<qv::GammaRamp> ramp = rampFile.isEmpty() ? readRamp(client, output) : loadRamp(rampFile);
    if (!ramp || ramp->size() < 2) {
        std::fprintf(stderr, "qv_gammacheck: no gamma ramp to read\n");
        return 2;
    }
    if (command == QLatin1String("save")) {
        QFile file(QString::fromLocal8Bit(argv[2]));
        return file.open(QIODevice::WriteOnly) && file.write(bytesOf(*ramp)) > 0 ? 0 : 2;
    }
    if (command == QLatin1String("start")) {
        const QString target = output.isEmpty() ? client.litOutputs().value(0) : output;
        return client.setRamp(target, qv::test::startingRamp(std::atoi(argv[2]), ramp->size())) ? 0 : 2;
    }
    if (command == QLatin1String("near")) {
        QFile file(QString::fromLocal8Bit(argv[2]));
        if (!file.open(QIODevice::ReadOnly))
            return 2;
        const QByteArray bytes = file.readAll();
        if (bytes.size() != ramp->size() * 6)
            return 1;
        qv::GammaRamp kept;
        const auto *values = reinterpret_cast<const quint16 *>(bytes.constData());
        for (auto *channel : {&kept.red, &kept.green, &kept.blue}) {
            *channel = QList<quint16>(values, values + ramp->size());
            values += ramp->size();
        }
        return qv::test::nearlyEqual(kept, *ramp) ? 0 : 1;
    }
    if (command == QLatin1String("same") || command == QLatin1String("differs")) {
        QFile file(QString::fromLocal8Bit(argv[2]));
        if (!file.open(QIODevice::ReadOnly))
            return 2;
        const bool same = file.readAll() == bytesOf(*ramp);
        return same == (command == QLatin1String("same")) ? 0 : 1;
    }
    if (command == QLatin1String("top")) {
        const double fraction = std::atof(argv[2]);
        double worst = 0;
        for (const auto *channel : {&ramp->red, &ramp->green, &ramp->blue})
            worst = std::max(worst, std::abs(channel->last() / 65535.0 - fraction));
        std::printf("top %u %u %u\n", ramp->red.last(), ramp->green.last(), ramp->blue.last());
        return worst <= 0.01 ? 0 : 1;
    }
    if (command == QLatin1String("preset") && argc >= 4) {
        const auto preset = qv::presetFromRawValue(QString::fromLocal8Bit(argv[2]));
        if (!preset)
            return 2;
        const qv::TuningValues values = qv::presetTuningValues(qv::computedPresetValues(*preset, std::atof(argv[3])));
        const qv::TransferFormula formula = qv::tuningFormula::formula(values, 0, false, false);
        std::optional<qv::GammaRamp> original;
        if (argc >= 5 && !(original = loadRamp(QString::fromLocal8Bit(argv[4]))))
            return 2;
        const qv::GammaRamp expected = original ? qv::gammaRampOverOriginal(formula, *original)
                                                : qv::gammaRampForFormula(formula, ramp->size());
        if (expected.size() != ramp->size())
            return 1;
        int worst = 0;
        for (int i = 0; i < ramp->size(); ++i) {
            worst = std::max({worst, std::abs(int(ramp->red[i]) - int(expected.red[i])),
                              std::abs(int(ramp->green[i]) - int(expected.green[i])),
                              std::abs(int(ramp->blue[i]) - int(expected.blue[i]))});
        }
        std::printf("preset: largest difference %d of %d entries\n", worst, ramp->size());
        return worst <= 1 ? 0 : 1;
    }
    return 2;
}
