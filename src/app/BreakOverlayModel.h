#pragma once

#include "runtime/Scheduler.h"
#include "wellness/BreakReminder.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

namespace qv {

// What the break panel shows: the headline, the line of encouragement that changes every
// 5 s, the countdown of the reminder's break and "Skip Break", which ends the break
// uncounted. The rotation starts when the model is made, that is when the panel appears.
class BreakOverlayModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(qv::BreakReminder *reminder READ reminder WRITE setReminder NOTIFY reminderChanged)
    Q_PROPERTY(int secondsRemaining READ secondsRemaining NOTIFY secondsRemainingChanged)
    Q_PROPERTY(QString countdownText READ countdownText NOTIFY secondsRemainingChanged)
    Q_PROPERTY(QString headline READ headline CONSTANT)
    Q_PROPERTY(QString caption READ caption CONSTANT)
    Q_PROPERTY(QString skipTitle READ skipTitle CONSTANT)
    Q_PROPERTY(QStringList messages READ messages CONSTANT)
    Q_PROPERTY(int messageIndex READ messageIndex NOTIFY messageIndexChanged)
    Q_PROPERTY(QString message READ message NOTIFY messageIndexChanged)

public:
    static constexpr qint64 kMessageIntervalMs = 5000;
    // Shown without a reminder (a view on its own, e.g. rendered).
    static constexpr int kDefaultSeconds = 20;

    explicit BreakOverlayModel(QObject *parent = nullptr);
    explicit BreakOverlayModel(BreakReminder *reminder, QObject *parent = nullptr);

    BreakReminder *reminder() const { return m_reminder; }
    void setReminder(BreakReminder *reminder);

    int secondsRemaining() const;
    // The seconds as a plain number, without leading zeros.
    QString countdownText() const { return QString::number(secondsRemaining()); }
    static QString headline() { return QStringLiteral("Look 20 feet away"); }
    static QString caption() { return QStringLiteral("seconds remaining"); }
    static QString skipTitle() { return QStringLiteral("Skip Break"); }
    static QStringList messages();
    int messageIndex() const { return m_messageIndex; }
    QString message() const { return messages().value(m_messageIndex); }

    // The message after index, wrapping from the last to the first.
    static int nextMessageIndex(int index, int count) { return count > 0 ? (index + 1) % count : 0; }

    // "Skip Break": ends the break uncounted.
    Q_INVOKABLE void skip();

signals:
    void reminderChanged();
    void secondsRemainingChanged();
    void messageIndexChanged();

private:
    void advanceMessage();

    QPointer<BreakReminder> m_reminder;
    QMetaObject::Connection m_secondsConnection;
    int m_messageIndex = 0;
    TaskHandle m_messageTimer;
};

} // namespace qv
