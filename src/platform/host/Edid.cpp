#include "platform/host/Edid.h"

namespace qv {

namespace {
constexpr int kBlockSize = 128;
constexpr unsigned char kHeader[8] = {0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x00};

quint8 byteAt(const QByteArray &edid, int index)
{
    return quint8(edid.at(index));
}

// The text of a display descriptor: up to 13 bytes, ended by a line feed, padded with blanks.
QString descriptorText(const QByteArray &edid, int offset)
{
    QString text;
    for (int i = offset + 5; i < offset + 18; ++i) {
        const quint8 c = byteAt(edid, i);
        if (c == 0x0a || c == 0x00)
            break;
        // Printable ASCII only; anything else is left out.
        if (c >= 0x20 && c < 0x7f)
            text += QChar(c);
    }
    return text.trimmed();
}
} // namespace

EdidInfo decodeEdid(const QByteArray &edid)
{
    EdidInfo info;
    if (edid.isEmpty()) {
        info.problem = QStringLiteral("no EDID");
        return info;
    }
    if (edid.size() < kBlockSize) {
        info.problem = QStringLiteral("EDID truncated at %1 bytes").arg(edid.size());
        return info;
    }
    if (!edid.startsWith(QByteArray::fromRawData(reinterpret_cast<const char *>(kHeader), sizeof kHeader))) {
        info.problem = QStringLiteral("EDID without its header");
        return info;
    }
    quint8 sum = 0;
    for (int i = 0; i < kBlockSize; ++i)
        sum = quint8(sum + byteAt(edid, i));
    if (sum != 0) {
        info.problem = QStringLiteral("EDID checksum is off by %1").arg(sum);
        return info;
    }
    info.valid = true;

    const quint16 id = quint16(byteAt(edid, 8) << 8 | byteAt(edid, 9));
    QString letters;
    for (const int shift : {10, 5, 0}) {
        const int letter = (id >> shift) & 0x1f;
        if (letter < 1 || letter > 26)
            break;
        letters += QChar('A' + letter - 1);
    }
    if (id == 0) {
        info.problem = QStringLiteral("EDID without a manufacturer id");
    } else if (letters.size() != 3 || (id & 0x8000) != 0) {
        info.problem = QStringLiteral("EDID manufacturer id 0x%1 is garbled").arg(id, 4, 16, QLatin1Char('0'));
    } else {
        info.vendor = id;
        info.manufacturer = letters;
    }
    info.model = quint32(byteAt(edid, 10) | byteAt(edid, 11) << 8);
    info.serial = quint32(byteAt(edid, 12)) | quint32(byteAt(edid, 13)) << 8 | quint32(byteAt(edid, 14)) << 16
                  | quint32(byteAt(edid, 15)) << 24;

    // The four 18-byte descriptors; a display descriptor starts with three zero bytes.
    for (int offset = 54; offset < 126; offset += 18) {
        if (byteAt(edid, offset) != 0 || byteAt(edid, offset + 1) != 0 || byteAt(edid, offset + 2) != 0)
            continue;
        if (byteAt(edid, offset + 3) == 0xfc && info.name.isEmpty())
            info.name = descriptorText(edid, offset);
        else if (byteAt(edid, offset + 3) == 0xff && info.serialText.isEmpty())
            info.serialText = descriptorText(edid, offset);
    }
    if (info.name.isEmpty() && info.problem.isEmpty())
        info.problem = QStringLiteral("EDID without a monitor name");
    return info;
}

QString edidMonitorText(const EdidInfo &edid)
{
    // An EDID that says nothing about the monitor (all zero) names nothing either.
    if (!edid.valid || !(edid.vendor || edid.model || edid.serial || !edid.serialText.isEmpty()))
        return {};
    return QStringLiteral("edid %1 %2 %3 %4").arg(edid.vendor).arg(edid.model).arg(edid.serial).arg(edid.serialText);
}

quint32 monitorDisplayId(const EdidInfo &edid, const QString &outputName, bool twin)
{
    // FNV-1a over the text that names the monitor.
    quint32 h = 2166136261u;
    const QString monitor = edidMonitorText(edid);
    const QString text = monitor.isEmpty() ? QStringLiteral("output ") + outputName
                         : twin            ? monitor + QStringLiteral(" on ") + outputName
                                           : monitor;
    for (const char byte : text.toUtf8()) {
        h ^= quint8(byte);
        h *= 16777619u;
    }
    return h | 0x80000000u;
}

} // namespace qv
