#include "support/LogCapture.h"

#include <QMutex>

namespace qv::test {

namespace {
QMutex g_mutex;
QList<LogEntry> g_entries;
QtMessageHandler g_previous = nullptr;
int g_active = 0;

void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    QString category = QString::fromUtf8(context.category ? context.category : "");
    const QString prefix = QStringLiteral("com.tebrix.Quellvista.");
    if (category.startsWith(prefix))
        category = category.mid(prefix.size());
    QMutexLocker lock(&g_mutex);
    g_entries.push_back({category, type, message});
}
} // namespace

LogCapture::LogCapture()
{
    QMutexLocker lock(&g_mutex);
    if (g_active++ == 0) {
        g_entries.clear();
        g_previous = qInstallMessageHandler(handler);
    }
}

LogCapture::~LogCapture()
{
    QMutexLocker lock(&g_mutex);
    if (--g_active == 0) {
        qInstallMessageHandler(g_previous);
        g_entries.clear();
    }
}

QList<LogEntry> LogCapture::entries() const
{
    QMutexLocker lock(&g_mutex);
    return g_entries;
}

QStringList LogCapture::messages(const QString &category) const
{
    QStringList out;
    for (const LogEntry &e : entries())
        if (e.category == category)
            out << e.message;
    return out;
}

bool LogCapture::contains(const QString &category, const QString &message) const
{
    return messages(category).contains(message);
}

bool LogCapture::containsPart(const QString &category, const QString &part) const
{
    for (const QString &m : messages(category))
        if (m.contains(part))
            return true;
    return false;
}

int LogCapture::count(const QString &category, const QString &message) const
{
    return int(messages(category).count(message));
}

void LogCapture::clear()
{
    QMutexLocker lock(&g_mutex);
    g_entries.clear();
}

} // namespace qv::test
