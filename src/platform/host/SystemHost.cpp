#include "platform/host/SystemHost.h"

#include <QFile>
#include <QSysInfo>

namespace qv {

namespace {
QByteArray readSmall(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(1 << 20);
}

// Firmware fills unset DMI fields with placeholders.
bool isPlaceholder(const QString &text)
{
    const QString t = text.toLower();
    return t.isEmpty() || t.contains(QLatin1String("to be filled")) || t == QLatin1String("default string")
           || t == QLatin1String("system product name") || t == QLatin1String("not specified");
}
} // namespace

SystemHost::SystemHost(QString root) : m_root(std::move(root))
{
    if (!m_root.endsWith(QLatin1Char('/')))
        m_root += QLatin1Char('/');
}

std::optional<QString> SystemHost::processorBrandString()
{
    const QByteArray cpuinfo = readSmall(m_root + QStringLiteral("proc/cpuinfo"));
    for (const QByteArray &line : cpuinfo.split('\n')) {
        const int colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray key = line.left(colon).trimmed();
        // "model name" on x86, "Model" or "Hardware" on ARM boards.
        if (key == "model name" || key == "Model" || key == "Hardware") {
            const QString value = QString::fromUtf8(line.mid(colon + 1)).simplified();
            if (!value.isEmpty())
                return value;
        }
    }
    return std::nullopt;
}

std::optional<QString> SystemHost::productName() const
{
    const QString name = QString::fromUtf8(readSmall(m_root + QStringLiteral("sys/class/dmi/id/product_name"))).simplified();
    if (isPlaceholder(name))
        return std::nullopt;
    return name;
}

QString SystemHost::operatingSystemVersionString() const
{
    // os-release: shell-style assignments; the one in /etc overrides the vendor's.
    QString name;
    for (const char *path : {"etc/os-release", "usr/lib/os-release"}) {
        const QByteArray text = readSmall(m_root + QLatin1String(path));
        if (text.isEmpty())
            continue;
        for (const QByteArray &line : text.split('\n')) {
            if (!line.startsWith("PRETTY_NAME="))
                continue;
            QString value = QString::fromUtf8(line.mid(12)).trimmed();
            if (value.size() >= 2 && (value.startsWith(QLatin1Char('"')) || value.startsWith(QLatin1Char('\'')))
                && value.endsWith(value.front()))
                value = value.mid(1, value.size() - 2);
            value.remove(QLatin1Char('\\'));
            name = value.simplified();
        }
        break;
    }
    if (name.isEmpty())
        name = QStringLiteral("Linux");
    QString kernel = QString::fromUtf8(readSmall(m_root + QStringLiteral("proc/sys/kernel/osrelease"))).simplified();
    if (kernel.isEmpty() && m_root == QLatin1String("/"))
        kernel = QSysInfo::kernelVersion();
    return kernel.isEmpty() ? name : QStringLiteral("%1 (Kernel %2)").arg(name, kernel);
}

std::optional<QString> SystemHost::localizedHostName()
{
    for (const QByteArray &line : readSmall(m_root + QStringLiteral("etc/machine-info")).split('\n')) {
        if (line.startsWith("PRETTY_HOSTNAME=")) {
            QString value = QString::fromUtf8(line.mid(16)).trimmed();
            if (value.size() >= 2 && (value.startsWith(QLatin1Char('"')) || value.startsWith(QLatin1Char('\''))))
                value = value.mid(1, value.size() - 2);
            if (!value.trimmed().isEmpty())
                return value;
        }
    }
    // The static host name ("vm", "debian") is a name for the network, not one to show:
    // without a pretty name or a product name the computer has none.
    return productName();
}

} // namespace qv
