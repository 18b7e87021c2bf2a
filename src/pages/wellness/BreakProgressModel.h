#pragma once

#include "wellness/BreakReminder.h"

#include <QColor>
#include <QList>
#include <QLocale>
#include <QObject>
#include <QPointer>
#include <QQmlParserStatus>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace qv {

class SessionHistory;

// The "Today" band of the break page: four tiles (breaks against the day's plan, the
// eye-care score, the streak, the last seven days) with their ring, sparkline, week marks
// and week bars, read afresh from the session history whenever it changes.
class BreakProgressModel : public QObject, public QQmlParserStatus {
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    QML_ELEMENT
    Q_PROPERTY(qv::BreakReminder *reminder READ reminder WRITE setReminder NOTIFY changed)
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(QString subtitle READ subtitle CONSTANT)
    // Four tiles, left to right: {symbol, title, value, detail}.
    Q_PROPERTY(QVariantList tiles READ tiles NOTIFY changed)
    Q_PROPERTY(double ringProgress READ ringProgress NOTIFY changed)
    Q_PROPERTY(QString ringText READ ringText NOTIFY changed)
    Q_PROPERTY(QList<qreal> levels READ levels NOTIFY changed)
    // Seven marks, oldest first: {label, active, height, color}.
    Q_PROPERTY(QVariantList weekMarks READ weekMarks NOTIFY changed)
    // Seven bars, oldest first: {height, color}.
    Q_PROPERTY(QVariantList weekBars READ weekBars NOTIFY changed)
    Q_PROPERTY(qreal weekChartWidth READ weekChartWidth CONSTANT)
    Q_PROPERTY(qreal weekChartHeight READ weekChartHeight CONSTANT)
    Q_PROPERTY(QLocale locale READ locale WRITE setLocale NOTIFY changed)

public:
    // Made by QML: the reminder and the history of the engine's page services, taken as it
    // is created.
    explicit BreakProgressModel(QObject *parent = nullptr);
    // Over the given reminder and history (either may be null, see below).
    BreakProgressModel(BreakReminder *reminder, SessionHistory *history, QObject *parent = nullptr);

    void classBegin() override;
    void componentComplete() override {}

    // The daily goal comes from the reminder (8 without one).
    BreakReminder *reminder() const { return m_reminder; }
    void setReminder(BreakReminder *reminder);
    // The history read; without one given, the process's session history.
    void setHistory(SessionHistory *history);
    QLocale locale() const { return m_locale; }
    void setLocale(const QLocale &locale);

    static QString title() { return QStringLiteral("Today"); }
    static QString subtitle() { return QStringLiteral("Your eye-care rhythm at a glance"); }
    QVariantList tiles() const;
    double ringProgress() const;
    QString ringText() const;
    QList<qreal> levels() const;
    QVariantList weekMarks() const;
    QVariantList weekBars() const;
    static qreal weekChartWidth();
    static qreal weekChartHeight();

signals:
    void changed();

private:
    SessionHistory &history() const;
    int goal() const;

    QPointer<BreakReminder> m_reminder;
    QPointer<SessionHistory> m_history;
    QMetaObject::Connection m_historyConnection;
    QLocale m_locale;
};

} // namespace qv
