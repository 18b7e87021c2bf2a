#include "platform/host/GammaOriginals.h"

#include <QFile>
#include <QMutex>
#include <QSet>

#include <algorithm>
#include <unistd.h>

namespace qv {

namespace {
// When the process started, in clock ticks after boot: with the pid it names a process
// that no later one with the same pid is taken for. Empty when it cannot be read.
QString startTimeOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = stat.read(4096);
    // The command name in parentheses may hold spaces; the fields after it do not.
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0)
        return {};
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    return fields.size() > 19 ? QString::fromLatin1(fields[19]) : QString();
}

struct Users {
    QMutex mutex;
    QSet<QString> running;
    int next = 1;
};
Users &users()
{
    static Users u;
    return u;
}
} // namespace

const SavedGammaRamp *GammaOriginals::monitorOriginal(const ShownMonitor &shown) const
{
    for (const SavedGammaRamp &entry : m_entries) {
        if (entry.crtc == 0)
            continue;
        if (shown.monitor.isEmpty() ? entry.monitor.isEmpty() && entry.output == shown.output
                                    : entry.monitor == shown.monitor)
            return &entry;
    }
    return nullptr;
}

const SavedGammaRamp *GammaOriginals::crtcOriginal(quint32 crtc) const
{
    for (const SavedGammaRamp &entry : m_entries) {
        if (entry.crtc != 0 && entry.crtc == crtc)
            return &entry;
    }
    return nullptr;
}

bool GammaOriginals::covers(quint32 crtc, const QList<ShownMonitor> &shown, const QString &user) const
{
    return heldBy(crtc, user)
           && std::all_of(shown.cbegin(), shown.cend(), [this](const ShownMonitor &s) { return monitorOriginal(s); });
}

bool GammaOriginals::knowsCrtc(quint32 crtc) const
{
    return crtcOriginal(crtc) != nullptr;
}

void GammaOriginals::keep(quint32 crtc, const QList<ShownMonitor> &shown, const GammaRamp &current,
                          const QString &user)
{
    if (crtc == 0 || shown.isEmpty())
        return;
    const SavedGammaRamp *known = crtcOriginal(crtc);
    const GammaRamp original = known ? known->ramp : current;
    for (const ShownMonitor &s : shown) {
        if (!monitorOriginal(s) || !crtcOriginal(crtc))
            m_entries << SavedGammaRamp{s.output, s.monitor, original, crtc, {user}};
    }
    for (SavedGammaRamp &entry : m_entries) {
        if (entry.crtc == crtc && !entry.users.contains(user))
            entry.users << user;
    }
}

std::optional<GammaRamp> GammaOriginals::rampFor(quint32 crtc, const QList<ShownMonitor> &shown, int size) const
{
    for (const ShownMonitor &s : shown) {
        if (const SavedGammaRamp *entry = monitorOriginal(s); entry && entry->ramp.size() == size)
            return entry->ramp;
    }
    if (const SavedGammaRamp *entry = crtcOriginal(crtc))
        return entry->ramp;
    return std::nullopt;
}

QList<quint32> GammaOriginals::crtcs() const
{
    QList<quint32> list;
    for (const SavedGammaRamp &entry : m_entries) {
        if (entry.crtc != 0 && !list.contains(entry.crtc))
            list << entry.crtc;
    }
    return list;
}

bool GammaOriginals::heldBy(quint32 crtc, const QString &user) const
{
    return std::any_of(m_entries.cbegin(), m_entries.cend(), [&](const SavedGammaRamp &entry) {
        return entry.crtc == crtc && entry.users.contains(user);
    });
}

bool GammaOriginals::heldByAnotherRunning(quint32 crtc, const QString &self) const
{
    for (const SavedGammaRamp &entry : m_entries) {
        if (entry.crtc != crtc)
            continue;
        for (const QString &user : entry.users) {
            if (user != self && isRunning(user))
                return true;
        }
    }
    return false;
}

void GammaOriginals::release(quint32 crtc, const QString &user)
{
    for (SavedGammaRamp &entry : m_entries) {
        if (entry.crtc == crtc)
            entry.users.removeAll(user);
    }
    m_entries.removeIf([crtc](const SavedGammaRamp &entry) { return entry.crtc == crtc && entry.users.isEmpty(); });
}

void GammaOriginals::drop(quint32 crtc)
{
    m_entries.removeIf([crtc](const SavedGammaRamp &entry) { return entry.crtc == crtc; });
}

bool GammaOriginals::renameMonitor(const QString &from, const QString &to)
{
    if (from.isEmpty() || to.isEmpty())
        return false;
    bool renamed = false;
    for (SavedGammaRamp &entry : m_entries) {
        if (entry.crtc != 0 && entry.monitor == from) {
            entry.monitor = to;
            renamed = true;
        }
    }
    return renamed;
}

void GammaOriginals::keepFor(quint32 crtc, const ShownMonitor &shown, const GammaRamp &ramp)
{
    if (crtc == 0 || monitorOriginal(shown))
        return;
    QStringList users;
    for (const SavedGammaRamp &entry : std::as_const(m_entries)) {
        if (entry.crtc != crtc)
            continue;
        for (const QString &user : entry.users) {
            if (!users.contains(user))
                users << user;
        }
    }
    if (!users.isEmpty())
        m_entries << SavedGammaRamp{shown.output, shown.monitor, ramp, crtc, users};
}

QList<SavedGammaRamp> GammaOriginals::byOutputOnly() const
{
    QList<SavedGammaRamp> list;
    for (const SavedGammaRamp &entry : m_entries) {
        if (entry.crtc == 0)
            list << entry;
    }
    return list;
}

void GammaOriginals::dropByOutputOnly(const QList<SavedGammaRamp> &entries)
{
    m_entries.removeIf([&](const SavedGammaRamp &entry) { return entry.crtc == 0 && entries.contains(entry); });
}

QString GammaOriginals::newUser()
{
    Users &u = users();
    QMutexLocker lock(&u.mutex);
    const QString user =
        QStringLiteral("%1:%2:%3").arg(::getpid()).arg(startTimeOf(::getpid())).arg(u.next++);
    u.running.insert(user);
    return user;
}

void GammaOriginals::endUser(const QString &user)
{
    Users &u = users();
    QMutexLocker lock(&u.mutex);
    u.running.remove(user);
}

bool GammaOriginals::isRunning(const QString &user)
{
    const QStringList parts = user.split(QLatin1Char(':'));
    bool ok = false;
    const qint64 pid = parts.value(0).toLongLong(&ok);
    if (parts.size() != 3 || !ok || pid <= 0)
        return false;
    if (pid == ::getpid()) {
        Users &u = users();
        QMutexLocker lock(&u.mutex);
        return u.running.contains(user);
    }
    const QString started = startTimeOf(pid);
    return !started.isEmpty() && started == parts[1];
}

} // namespace qv
