#include "pages/wellness/BreakProgressModel.h"

#include "design/Theme.h"
#include "pages/services/PageServices.h"
#include "pages/wellness/BreakPageRules.h"
#include "runtime/Scheduler.h"
#include "wellness/BreakReminder.h"
#include "wellness/SessionHistory.h"

namespace qv {

namespace {
constexpr int kDefaultGoal = 8;
}

BreakProgressModel::BreakProgressModel(QObject *parent) : BreakProgressModel(nullptr, nullptr, parent) {}

BreakProgressModel::BreakProgressModel(BreakReminder *reminder, SessionHistory *history, QObject *parent)
    : QObject(parent), m_reminder(reminder)
{
    connect(&Theme::shared(), &Theme::appearanceChanged, this, &BreakProgressModel::changed);
    setHistory(history);
}

void BreakProgressModel::classBegin()
{
    const PageServices *services = PageServices::find(this);
    if (!services)
        return;
    if (services->breakReminder)
        m_reminder = services->breakReminder;
    if (services->history)
        setHistory(services->history);
}

void BreakProgressModel::setReminder(BreakReminder *reminder)
{
    if (reminder == m_reminder)
        return;
    m_reminder = reminder;
    emit changed();
}

void BreakProgressModel::setHistory(SessionHistory *history)
{
    disconnect(m_historyConnection);
    m_history = history;
    m_historyConnection =
        connect(&this->history(), &SessionHistory::statisticsChanged, this, &BreakProgressModel::changed);
    emit changed();
}

void BreakProgressModel::setLocale(const QLocale &locale)
{
    if (locale == m_locale)
        return;
    m_locale = locale;
    emit changed();
}

SessionHistory &BreakProgressModel::history() const
{
    return m_history ? *m_history : SessionHistory::shared();
}

int BreakProgressModel::goal() const
{
    return m_reminder ? m_reminder->dailyBreakGoal() : kDefaultGoal;
}

QVariantList BreakProgressModel::tiles() const
{
    const SessionStatistics s = history().statistics();
    auto tile = [](const char *symbol, const char *title, const QString &value, const QString &detail) {
        return QVariantMap{{QStringLiteral("symbol"), QString::fromUtf8(symbol)},
                           {QStringLiteral("title"), QString::fromUtf8(title)},
                           {QStringLiteral("value"), value},
                           {QStringLiteral("detail"), detail}};
    };
    return {tile("cup.and.saucer", "Breaks", QString::number(s.breaksTakenToday), breakpage::plannedDetail(goal())),
            tile("heart", "Eye care score", breakpage::wholeNumberText(s.breakScore), breakpage::scoreNote(s.breakScore)),
            tile("flame", "Streak", QString::number(s.streakDays), breakpage::streakDetail(s.streakDays)),
            tile("chart.bar", "This week", QString::number(breakpage::weekSum(s.lastSevenDaysBreakCounts)),
                 QStringLiteral("breaks completed"))};
}

double BreakProgressModel::ringProgress() const
{
    return breakpage::ringProgress(history().breaksTakenToday(), goal());
}

QString BreakProgressModel::ringText() const
{
    return breakpage::ringPercentText(ringProgress());
}

QList<qreal> BreakProgressModel::levels() const
{
    QList<qreal> levels;
    for (double level : history().lastSevenDaysBreakLevels())
        levels << (std::isfinite(level) ? level : 0.0);
    return levels;
}

QVariantList BreakProgressModel::weekMarks() const
{
    const Theme &theme = Theme::shared();
    QVariantList marks;
    for (const breakpage::WeekDay &day :
         breakpage::weekDays(history().lastSevenDaysBreakLevels(), scheduler().now(), m_locale))
        marks << QVariantMap{{QStringLiteral("label"), day.label},
                             {QStringLiteral("active"), day.active},
                             {QStringLiteral("height"), day.active ? 16 : 7},
                             {QStringLiteral("color"), day.active ? theme.accent()
                                                                  : Theme::withOpacity(theme.accentSoft(), 0.45)}};
    return marks;
}

QVariantList BreakProgressModel::weekBars() const
{
    const Theme &theme = Theme::shared();
    const QList<double> levels = history().lastSevenDaysBreakLevels();
    QVariantList bars;
    for (qsizetype i = 0; i < levels.size(); ++i)
        bars << QVariantMap{{QStringLiteral("height"), breakpage::weekBarHeight(levels[i])},
                            {QStringLiteral("color"), i == levels.size() - 1
                                                          ? theme.accent()
                                                          : Theme::withOpacity(theme.accentMuted(), 0.75)}};
    return bars;
}

qreal BreakProgressModel::weekChartWidth()
{
    return breakpage::kWeekChartWidth;
}

qreal BreakProgressModel::weekChartHeight()
{
    return breakpage::kWeekChartHeight;
}

} // namespace qv
