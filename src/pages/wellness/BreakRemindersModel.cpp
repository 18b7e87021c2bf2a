#include "pages/wellness/BreakRemindersModel.h"

#include "design/Theme.h"
#include "pages/services/PageServices.h"
#include "pages/wellness/BreakGuideStep.h"
#include "platform/MachineWords.h"
#include "wellness/BreakReminder.h"

namespace qv {

namespace {
QColor tokenColour(ColorToken t)
{
    return Theme::shared().color(t);
}
QColor faded(ColorToken t, double k)
{
    return Theme::withOpacity(tokenColour(t), k);
}
} // namespace

BreakRemindersModel::BreakRemindersModel(QObject *parent) : BreakRemindersModel(nullptr, parent) {}

BreakRemindersModel::BreakRemindersModel(BreakReminder *reminder, QObject *parent)
    : QObject(parent), m_tour(breakguide::tourSteps(), breakguide::kCompletedKey, breakguide::kAnchorPrefix)
{
    // This page's tour moves between its steps over 0.2 s, as it finishes.
    m_tour.setStepAnimationDuration(GuidedTour::kFinishAnimationMs);
    connect(this, &BreakRemindersModel::changed, this, &BreakRemindersModel::countdownChanged);
    connect(&Theme::shared(), &Theme::appearanceChanged, this, &BreakRemindersModel::changed);
    if (reminder)
        follow(reminder);
}

BreakRemindersModel::~BreakRemindersModel() = default;

void BreakRemindersModel::classBegin()
{
    if (const PageServices *services = PageServices::find(this); services && services->breakReminder)
        follow(services->breakReminder);
}

BreakReminder *BreakRemindersModel::reminder() const
{
    if (!m_reminder) {
        auto *self = const_cast<BreakRemindersModel *>(this);
        self->m_own = std::make_unique<BreakReminder>();
        self->follow(self->m_own.get());
    }
    return m_reminder;
}

void BreakRemindersModel::setReminder(BreakReminder *reminder)
{
    if (reminder == m_reminder || !reminder)
        return;
    follow(reminder);
    emit changed();
}

void BreakRemindersModel::follow(BreakReminder *reminder)
{
    for (const auto &c : m_connections)
        disconnect(c);
    m_connections.clear();
    m_reminder = reminder;
    for (auto signal : {&BreakReminder::isEnabledChanged, &BreakReminder::workIntervalMinutesChanged,
                        &BreakReminder::breakDurationSecondsChanged, &BreakReminder::reminderModeChanged,
                        &BreakReminder::isOnBreakChanged})
        m_connections << connect(reminder, signal, this, &BreakRemindersModel::changed);
    for (auto signal : {&BreakReminder::secondsUntilBreakChanged, &BreakReminder::breakSecondsRemainingChanged})
        m_connections << connect(reminder, signal, this, &BreakRemindersModel::countdownChanged);
}

breakpage::ReminderState BreakRemindersModel::state() const
{
    const BreakReminder *r = reminder();
    return {r->isEnabled(),           r->isOnBreak(),           r->secondsUntilBreak(), r->breakSecondsRemaining(),
            r->workIntervalMinutes(), r->breakDurationSeconds()};
}

QString BreakRemindersModel::switchSymbol() const
{
    return isEnabled() ? QStringLiteral("pause.fill") : QStringLiteral("play.fill");
}

QString BreakRemindersModel::switchTitle() const
{
    return isEnabled() ? QStringLiteral("Turn off") : QStringLiteral("Turn on");
}

QString BreakRemindersModel::switchAccessibleName() const
{
    return isEnabled() ? QStringLiteral("Turn off break reminders") : QStringLiteral("Turn on break reminders");
}

QColor BreakRemindersModel::switchTextColor() const
{
    return isEnabled() ? tokenColour(ColorToken::textPrimary) : QColor(Qt::white);
}

QColor BreakRemindersModel::switchFill() const
{
    return isEnabled() ? tokenColour(ColorToken::surface) : Theme::shared().accentTint();
}

QColor BreakRemindersModel::switchOutline() const
{
    return isEnabled() ? tokenColour(ColorToken::divider) : QColor(Qt::transparent);
}

QVariantMap BreakRemindersModel::option(TileKind kind, const QString &title, const QString &symbol,
                                        bool selected) const
{
    const QColor accent = Theme::shared().accentTint();
    QColor fill, outline, text, symbolColour = accent;
    switch (kind) {
    case TileKind::quickAction:
        fill = faded(ColorToken::accentSoft, 0.55);
        outline = tokenColour(ColorToken::divider);
        text = tokenColour(ColorToken::textPrimary);
        break;
    case TileKind::pill:
        fill = selected ? accent : faded(ColorToken::surfaceRaised, 0.45);
        outline = selected ? QColor(Qt::transparent) : tokenColour(ColorToken::divider);
        text = selected ? QColor(Qt::white) : tokenColour(ColorToken::textPrimary);
        break;
    case TileKind::style:
        fill = selected ? faded(ColorToken::accentSoft, 0.72) : faded(ColorToken::surfaceRaised, 0.35);
        outline = selected ? Theme::withOpacity(accent, 0.55) : tokenColour(ColorToken::divider);
        text = tokenColour(selected ? ColorToken::textPrimary : ColorToken::textSecondary);
        symbolColour = selected ? accent : tokenColour(ColorToken::textSecondary);
        break;
    }
    return {{QStringLiteral("title"), title},         {QStringLiteral("symbol"), symbol},
            {QStringLiteral("selected"), selected},   {QStringLiteral("fill"), fill},
            {QStringLiteral("outline"), outline},     {QStringLiteral("textColor"), text},
            {QStringLiteral("symbolColor"), symbolColour}};
}

QVariantList BreakRemindersModel::quickActions() const
{
    return {option(TileKind::quickAction, QStringLiteral("Snooze"), QStringLiteral("bed.double"), false),
            option(TileKind::quickAction, QStringLiteral("1 hour"), QStringLiteral("pause"), false),
            option(TileKind::quickAction, QStringLiteral("Reset"), QStringLiteral("arrow.counterclockwise"), false)};
}

QVariantList BreakRemindersModel::workIntervals() const
{
    const int current = reminder()->workIntervalMinutes();
    QVariantList list;
    for (int minutes : breakpage::kWorkIntervals) {
        QVariantMap o = option(TileKind::pill, QStringLiteral("%1 min").arg(minutes), {}, minutes == current);
        o.insert(QStringLiteral("value"), minutes);
        list << o;
    }
    return list;
}

QVariantList BreakRemindersModel::breakDurations() const
{
    const int current = reminder()->breakDurationSeconds();
    QVariantList list;
    for (const auto &d : breakpage::kBreakDurations) {
        QVariantMap o = option(TileKind::pill, QString::fromUtf8(d.title), {}, d.seconds == current);
        o.insert(QStringLiteral("value"), d.seconds);
        list << o;
    }
    return list;
}

QVariantList BreakRemindersModel::reminderStyles() const
{
    const ReminderMode current = reminder()->reminderMode();
    QVariantList list;
    for (const auto &s : breakpage::kReminderStyles) {
        QString title = QString::fromUtf8(s.title);
        if (s.mode == ReminderMode::menuBarOnly)
            title = machineWords().say(MacText::menuBarReminderStyle, title);
        list << option(TileKind::style, title, QString::fromUtf8(s.symbol), s.mode == current);
    }
    return list;
}

QVariantList BreakRemindersModel::sections()
{
    auto section = [](const char *symbol, const char *title) {
        return QVariantMap{{QStringLiteral("symbol"), QString::fromUtf8(symbol)},
                           {QStringLiteral("title"), QString::fromUtf8(title)}};
    };
    return {section("clock", "Work interval"), section("eye", "Break duration"), section("bell", "Reminder style")};
}

void BreakRemindersModel::toggleReminders()
{
    setRemindersOn(!reminder()->isEnabled());
}

void BreakRemindersModel::setRemindersOn(bool on)
{
    reminder()->setIsEnabled(on);
}

void BreakRemindersModel::snoozeFiveMinutes()
{
    reminder()->snooze();
}

void BreakRemindersModel::pushBackOneHour()
{
    reminder()->pause();
}

void BreakRemindersModel::restartCountdown()
{
    reminder()->resetCountdown();
}

void BreakRemindersModel::selectWorkInterval(int minutes)
{
    reminder()->setWorkIntervalMinutes(minutes);
}

void BreakRemindersModel::selectBreakDuration(int seconds)
{
    reminder()->setBreakDurationSeconds(seconds);
}

void BreakRemindersModel::selectReminderStyle(int index)
{
    if (index >= 0 && index < breakpage::kReminderStyles.size())
        reminder()->setReminderMode(breakpage::kReminderStyles[index].mode);
}

} // namespace qv
