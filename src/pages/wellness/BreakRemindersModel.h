#pragma once

#include "design/GuidedTour.h"
#include "pages/wellness/BreakPageRules.h"

#include "wellness/BreakReminder.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QQmlParserStatus>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <memory>

namespace qv {


// What the Break Reminders page shows of the break schedule and what its controls do:
// the header switch, the timer card (phase, countdown, dial), the controls card (quick
// actions, work interval, break length, reminder style) and the page's guided tour (its
// step lasts as long as the model, that is while the section is shown). Everything is
// derived from the reminder whenever it publishes a change; the controls write the
// reminder's properties and nothing else.
class BreakRemindersModel : public QObject, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    QML_ELEMENT
    Q_PROPERTY(qv::BreakReminder *reminder READ reminder WRITE setReminder NOTIFY changed)
    Q_PROPERTY(qv::GuidedTour *tour READ tour CONSTANT)
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(QString subtitle READ subtitle CONSTANT)
    Q_PROPERTY(QString guideAccessibleName READ guideAccessibleName CONSTANT)
    Q_PROPERTY(QString guideToolTip READ guideToolTip CONSTANT)
    // The header switch.
    Q_PROPERTY(bool isEnabled READ isEnabled NOTIFY changed)
    Q_PROPERTY(QString switchSymbol READ switchSymbol NOTIFY changed)
    Q_PROPERTY(QString switchTitle READ switchTitle NOTIFY changed)
    Q_PROPERTY(QString switchAccessibleName READ switchAccessibleName NOTIFY changed)
    Q_PROPERTY(QColor switchTextColor READ switchTextColor NOTIFY changed)
    Q_PROPERTY(QColor switchFill READ switchFill NOTIFY changed)
    Q_PROPERTY(QColor switchOutline READ switchOutline NOTIFY changed)
    // The timer card.
    Q_PROPERTY(QString phaseTitle READ phaseTitle NOTIFY changed)
    Q_PROPERTY(QString phaseSymbol READ phaseSymbol NOTIFY changed)
    Q_PROPERTY(QString rhythmText READ rhythmText NOTIFY changed)
    // The countdown, the dial and the caption move every second; they alone follow the
    // ticking values, so the rest of the page is not re-read on each tick.
    Q_PROPERTY(QString countdownText READ countdownText NOTIFY countdownChanged)
    Q_PROPERTY(double dialProgress READ dialProgress NOTIFY countdownChanged)
    Q_PROPERTY(bool dialActive READ dialActive NOTIFY changed)
    Q_PROPERTY(QString statusCaption READ statusCaption NOTIFY countdownChanged)
    // The controls card: each option {title, symbol, selected, fill, outline, textColor,
    // symbolColor}.
    Q_PROPERTY(QString controlsTitle READ controlsTitle CONSTANT)
    Q_PROPERTY(QString controlsSubtitle READ controlsSubtitle CONSTANT)
    Q_PROPERTY(QVariantList quickActions READ quickActions NOTIFY changed)
    Q_PROPERTY(QVariantList workIntervals READ workIntervals NOTIFY changed)
    Q_PROPERTY(QVariantList breakDurations READ breakDurations NOTIFY changed)
    Q_PROPERTY(QVariantList reminderStyles READ reminderStyles NOTIFY changed)
    Q_PROPERTY(QVariantList sections READ sections CONSTANT)

public:
    // Made by QML: the reminder of the engine's page services, taken as it is created.
    explicit BreakRemindersModel(QObject *parent = nullptr);
    // Over the given reminder; null: one of the model's own.
    explicit BreakRemindersModel(BreakReminder *reminder, QObject *parent = nullptr);
    ~BreakRemindersModel() override;

    void classBegin() override;
    void componentComplete() override {}

    // The reminder given; without one (a view rendered on its own) one of the model's own.
    BreakReminder *reminder() const;
    void setReminder(BreakReminder *reminder);
    GuidedTour *tour() { return &m_tour; }

    static QString title() { return QStringLiteral("Break Reminders"); }
    static QString subtitle() { return QStringLiteral("A quieter rhythm for long screen sessions."); }
    static QString guideAccessibleName() { return QStringLiteral("Open Break Reminders guide"); }
    static QString guideToolTip() { return QStringLiteral("Guide"); }
    static QString controlsTitle() { return QStringLiteral("Reminder controls"); }
    static QString controlsSubtitle() { return QStringLiteral("Tune the rhythm without leaving flow"); }

    breakpage::ReminderState state() const;
    bool isEnabled() const { return state().isEnabled; }
    QString switchSymbol() const;
    QString switchTitle() const;
    QString switchAccessibleName() const;
    QColor switchTextColor() const;
    QColor switchFill() const;
    QColor switchOutline() const;

    QString phaseTitle() const { return breakpage::phaseTitle(state()); }
    QString phaseSymbol() const { return breakpage::phaseSymbol(state()); }
    QString rhythmText() const { return breakpage::rhythmText(state().workIntervalMinutes); }
    QString countdownText() const { return breakpage::countdownText(state()); }
    double dialProgress() const { return breakpage::dialProgress(state()); }
    bool dialActive() const { return breakpage::isActive(state()); }
    QString statusCaption() const { return breakpage::statusCaption(state()); }

    QVariantList quickActions() const;
    QVariantList workIntervals() const;
    QVariantList breakDurations() const;
    QVariantList reminderStyles() const;
    // The three option rows' headers: {symbol, title}.
    static QVariantList sections();

    // The header switch and the controls card's switch.
    Q_INVOKABLE void toggleReminders();
    Q_INVOKABLE void setRemindersOn(bool on);
    Q_INVOKABLE void snoozeFiveMinutes();
    Q_INVOKABLE void pushBackOneHour();
    Q_INVOKABLE void restartCountdown();
    Q_INVOKABLE void selectWorkInterval(int minutes);
    Q_INVOKABLE void selectBreakDuration(int seconds);
    // A style tile by its place in the row.
    Q_INVOKABLE void selectReminderStyle(int index);

signals:
    // Anything the page shows may have changed (the countdown included).
    void changed();
    // Only the seconds left moved.
    void countdownChanged();

private:
    void follow(BreakReminder *reminder);
    enum class TileKind { quickAction, pill, style };
    QVariantMap option(TileKind kind, const QString &title, const QString &symbol, bool selected) const;

    std::unique_ptr<BreakReminder> m_own;
    QPointer<BreakReminder> m_reminder;
    QList<QMetaObject::Connection> m_connections;
    GuidedTour m_tour;
};

} // namespace qv
