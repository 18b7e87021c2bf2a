#pragma once

#include "wellness/BreakPresenter.h"
#include "wellness/SessionEvent.h"
#include "support/TimeZoneGuard.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringList>

#include <ctime>
#include <optional>

namespace qv::test {

inline QDateTime local(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime);
}

inline SessionEvent eventAt(const QDateTime &when, SessionEvent::EventType type, qint64 duration = 0)
{
    return SessionEvent::at(when, type, duration);
}

// Stands in for the break panel and the notification; records what it was asked.
class RecordingPresenter final : public BreakPresenter {
public:
    void requestNotificationAuthorization() override { calls << "authorize"; }
    quint64 showBreakOverlay(BreakReminder &) override
    {
        if (!hasScreen)
            return 0;
        const quint64 id = ++lastPanel;
        calls << QStringLiteral("show %1").arg(id);
        return id;
    }
    void removeEscMonitors(quint64 panel) override { calls << QStringLiteral("monitors off %1").arg(panel); }
    void closeBreakOverlay(quint64 panel) override { calls << QStringLiteral("close %1").arg(panel); }
    void sendBreakNotification(BreakReminder &) override { calls << "notify"; }

    bool hasScreen = true;
    quint64 lastPanel = 0;
    QStringList calls;
};

} // namespace qv::test
