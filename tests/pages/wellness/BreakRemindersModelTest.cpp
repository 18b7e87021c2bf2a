#include "design/SystemSymbol.h"
#include "design/Theme.h"
#include "pages/wellness/BreakGuideStep.h"
#include "pages/wellness/BreakProgressModel.h"
#include "pages/wellness/BreakRemindersModel.h"
#include "support/TestEnvironment.h"
#include "support/TimeZoneGuard.h"
#include "wellness/BreakReminder.h"
#include "wellness/SessionHistory.h"

using namespace qv;

namespace {

class BreakRemindersModelTest : public test::QvTest {
protected:
    void SetUp() override
    {
        test::QvTest::SetUp();
        reminder = std::make_unique<BreakReminder>();
        model = std::make_unique<BreakRemindersModel>(reminder.get());
    }
    void TearDown() override
    {
        model.reset();
        reminder.reset();
        test::QvTest::TearDown();
    }

    // The selected flags of one option row.
    static QList<bool> selection(const QVariantList &options)
    {
        QList<bool> flags;
        for (const QVariant &o : options)
            flags << o.toMap().value("selected").toBool();
        return flags;
    }

    std::unique_ptr<BreakReminder> reminder;
    std::unique_ptr<BreakRemindersModel> model;
};

TEST_F(BreakRemindersModelTest, TheSwitchMirrorsTheReminderHoweverItChanges)
{
    const Theme &theme = Theme::shared();
    EXPECT_EQ(model->switchSymbol(), "play.fill");
    EXPECT_EQ(model->switchTitle(), "Turn on");
    EXPECT_EQ(model->switchAccessibleName(), "Turn on break reminders");
    EXPECT_EQ(model->switchTextColor(), QColor(Qt::white));
    EXPECT_EQ(model->switchFill(), theme.accentTint());
    EXPECT_EQ(model->switchOutline().alpha(), 0);

    int changes = 0;
    QObject::connect(model.get(), &BreakRemindersModel::changed, [&] { ++changes; });
    reminder->setIsEnabled(true); // from elsewhere, e.g. the pop-over
    EXPECT_GT(changes, 0);
    EXPECT_EQ(model->switchSymbol(), "pause.fill");
    EXPECT_EQ(model->switchTitle(), "Turn off");
    EXPECT_EQ(model->switchAccessibleName(), "Turn off break reminders");
    EXPECT_EQ(model->switchTextColor(), theme.textPrimary());
    EXPECT_EQ(model->switchFill(), theme.surface());
    EXPECT_EQ(model->switchOutline(), theme.divider());

    model->toggleReminders();
    EXPECT_FALSE(reminder->isEnabled());
    EXPECT_FALSE(defaults->boolForKey("breakReminderEnabled"));
    EXPECT_EQ(model->countdownText(), "--:--");
}

TEST_F(BreakRemindersModelTest, QuickActionsMoveOnlyTheCountdown)
{
    model->setRemindersOn(true);
    ASSERT_EQ(reminder->secondsUntilBreak(), 1200);
    for (int i = 0; i < 3; ++i)
        model->snoozeFiveMinutes();
    EXPECT_EQ(reminder->secondsUntilBreak(), 2100);
    EXPECT_EQ(model->dialProgress(), 0.0);
    EXPECT_EQ(model->countdownText(), "35:00");
    EXPECT_EQ(model->statusCaption(), "Timer extended for this focus block.");
    model->pushBackOneHour();
    model->pushBackOneHour();
    EXPECT_EQ(reminder->secondsUntilBreak(), 9300);
    model->restartCountdown();
    EXPECT_EQ(reminder->secondsUntilBreak(), 1200);
    // The running timer keeps counting from the new value.
    advance(1000);
    EXPECT_EQ(reminder->secondsUntilBreak(), 1199);

    // Snoozed while off: switching on starts the full interval.
    model->setRemindersOn(false);
    model->snoozeFiveMinutes();
    model->setRemindersOn(true);
    EXPECT_EQ(reminder->secondsUntilBreak(), 1200);
}

TEST_F(BreakRemindersModelTest, ASecondOfCountdownMovesOnlyTheCountdown)
{
    model->setRemindersOn(true);
    int changes = 0;
    int ticks = 0;
    QObject::connect(model.get(), &BreakRemindersModel::changed, [&] { ++changes; });
    QObject::connect(model.get(), &BreakRemindersModel::countdownChanged, [&] { ++ticks; });
    advance(1000);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(model->countdownText(), "19:59");
    reminder->setWorkIntervalMinutes(30); // a setting change reaches the countdown too
    EXPECT_GT(changes, 0);
    EXPECT_GT(ticks, 1);
}

TEST_F(BreakRemindersModelTest, SelectionOnlyOnAnExactMatch)
{
    EXPECT_EQ(selection(model->workIntervals()), (QList<bool>{true, false, false}));
    EXPECT_EQ(selection(model->breakDurations()), (QList<bool>{true, false, false}));
    EXPECT_EQ(selection(model->reminderStyles()), (QList<bool>{true, false, false}));

    reminder->setWorkIntervalMinutes(25);
    reminder->setBreakDurationSeconds(90);
    EXPECT_EQ(selection(model->workIntervals()), (QList<bool>{false, false, false}));
    EXPECT_EQ(selection(model->breakDurations()), (QList<bool>{false, false, false}));
    EXPECT_EQ(model->rhythmText(), "25 min rhythm");

    model->selectWorkInterval(30);
    model->selectBreakDuration(180);
    model->selectReminderStyle(1);
    EXPECT_EQ(selection(model->workIntervals()), (QList<bool>{false, true, false}));
    EXPECT_EQ(selection(model->breakDurations()), (QList<bool>{false, false, true}));
    EXPECT_EQ(selection(model->reminderStyles()), (QList<bool>{false, true, false}));
    EXPECT_EQ(defaults->integerForKey("workIntervalMinutes"), 30);
    EXPECT_EQ(defaults->integerForKey("breakDurationSeconds"), 180);
    EXPECT_EQ(defaults->stringValue("reminderMode"), "System Notification");
    model->selectReminderStyle(7); // no such tile
    EXPECT_EQ(reminder->reminderMode(), ReminderMode::notification);

    // A selected pill: white text on the accent without an outline.
    const QVariantMap selected = model->workIntervals()[1].toMap();
    EXPECT_EQ(selected.value("title"), "30 min");
    EXPECT_EQ(selected.value("textColor").value<QColor>(), QColor(Qt::white));
    EXPECT_EQ(selected.value("fill").value<QColor>(), Theme::shared().accentTint());
    EXPECT_EQ(selected.value("outline").value<QColor>().alpha(), 0);
}

TEST_F(BreakRemindersModelTest, ChoosingTheHeldIntervalWhileOnStartsTheCountdownOver)
{
    model->setRemindersOn(true);
    advance(30'000);
    ASSERT_EQ(reminder->secondsUntilBreak(), 1170);
    model->selectWorkInterval(20);
    EXPECT_EQ(reminder->secondsUntilBreak(), 1200);
}

TEST_F(BreakRemindersModelTest, ABreakShowsItsOwnCountdownAndKeepsItsLength)
{
    model->setRemindersOn(true);
    reminder->startBreak();
    EXPECT_EQ(model->phaseTitle(), "Break in progress");
    EXPECT_EQ(model->countdownText(), "00:20");
    advance(5000);
    EXPECT_EQ(model->countdownText(), "00:15");
    EXPECT_DOUBLE_EQ(model->dialProgress(), 0.25);
    model->selectBreakDuration(180); // reaches the next break
    EXPECT_EQ(model->countdownText(), "00:15");
    EXPECT_DOUBLE_EQ(model->dialProgress(), 1.0 - 15.0 / 180.0);
}

TEST_F(BreakRemindersModelTest, EverySymbolTheControlsNameHasAGlyph)
{
    QStringList names{model->phaseSymbol(), model->switchSymbol()};
    for (const QVariantList &row : {model->quickActions(), model->reminderStyles(), BreakRemindersModel::sections()})
        for (const QVariant &o : row)
            names << o.toMap().value("symbol").toString();
    for (auto step : {BreakGuideStep::timer, BreakGuideStep::controls, BreakGuideStep::progress})
        names << breakguide::content(step).symbolName;
    BreakProgressModel progress;
    for (const QVariant &t : progress.tiles())
        names << t.toMap().value("symbol").toString();
    names << "pause.fill" << "eye" << "questionmark.circle" << "checkmark.circle.fill" << "xmark";
    for (const QString &name : names)
        EXPECT_TRUE(SystemSymbol::isMapped(name)) << qPrintable(name);
}

class BreakProgressModelTest : public test::QvTest {
protected:
    static QStringList column(const QVariantList &list, const char *key)
    {
        QStringList values;
        for (const QVariant &v : list)
            values << v.toMap().value(key).toString();
        return values;
    }
};

TEST_F(BreakProgressModelTest, AnEmptyHistory)
{
    BreakProgressModel model;
    EXPECT_EQ(column(model.tiles(), "title"), (QStringList{"Breaks", "Eye care score", "Streak", "This week"}));
    EXPECT_EQ(column(model.tiles(), "value"), (QStringList{"0", "100", "0", "0"}));
    EXPECT_EQ(column(model.tiles(), "detail"),
              (QStringList{"of 8 planned", "Great rhythm", "days in rhythm", "breaks completed"}));
    EXPECT_EQ(model.ringProgress(), 0.0);
    EXPECT_EQ(model.ringText(), "0%");
    EXPECT_EQ(model.levels(), QList<qreal>(7, 0.0));
    const QVariantList bars = model.weekBars();
    ASSERT_EQ(bars.size(), 7);
    for (const QVariant &bar : bars)
        EXPECT_EQ(bar.toMap().value("height").toReal(), 5.0);
    EXPECT_EQ(bars.last().toMap().value("color").value<QColor>(), Theme::shared().accent());
    EXPECT_NE(bars.first().toMap().value("color").value<QColor>(), Theme::shared().accent());
    for (const QVariant &mark : model.weekMarks()) {
        EXPECT_FALSE(mark.toMap().value("active").toBool());
        EXPECT_EQ(mark.toMap().value("height").toInt(), 7);
    }
}

TEST_F(BreakProgressModelTest, FollowsTheHistoryAndHoldsTheRingFull)
{
    test::TimeZoneGuard tz("UTC");
    clock->setNow(QDateTime(QDate(2026, 3, 2), QTime(12, 0), Qt::LocalTime));
    BreakReminder reminder;
    SessionHistory history;
    BreakProgressModel model(&reminder, &history);
    int changes = 0;
    QObject::connect(&model, &BreakProgressModel::changed, [&] { ++changes; });

    // Yesterday: one break; today: seven of eight.
    clock->setNow(QDateTime(QDate(2026, 3, 1), QTime(12, 0), Qt::LocalTime));
    history.recordBreakTaken(20);
    clock->setNow(QDateTime(QDate(2026, 3, 2), QTime(12, 0), Qt::LocalTime));
    for (int i = 0; i < 7; ++i)
        history.recordBreakTaken(20);
    EXPECT_GT(changes, 0);
    EXPECT_EQ(column(model.tiles(), "value"), (QStringList{"7", "100", "2", "8"}));
    EXPECT_EQ(model.ringText(), "87%");
    QList<bool> active;
    for (const QVariant &mark : model.weekMarks())
        active << mark.toMap().value("active").toBool();
    EXPECT_EQ(active, (QList<bool>{false, false, false, false, false, true, true}));
    EXPECT_EQ(model.weekBars().last().toMap().value("height").toReal(), 36.0);

    for (int i = 0; i < 4; ++i)
        history.recordBreakTaken(20);
    EXPECT_EQ(column(model.tiles(), "value").first(), "11");
    EXPECT_EQ(model.ringProgress(), 1.0);
    EXPECT_EQ(model.ringText(), "100%");

    // A break recorded in the future (a clock set back) and one 90 days old change no
    // figure of the week beyond what they count for.
    clock->setNow(QDateTime(QDate(2026, 3, 9), QTime(12, 0), Qt::LocalTime));
    history.recordBreakTaken(20);
    clock->setNow(QDateTime(QDate(2025, 12, 2), QTime(12, 0), Qt::LocalTime));
    history.recordBreakTaken(20);
    clock->setNow(QDateTime(QDate(2026, 3, 2), QTime(12, 0), Qt::LocalTime));
    EXPECT_EQ(column(model.tiles(), "value"), (QStringList{"11", "100", "2", "12"}));
}

TEST(BreakGuide, StepsAndTheirTexts)
{
    EXPECT_EQ(breakguide::stepFromRawValue("controls"), BreakGuideStep::controls);
    EXPECT_EQ(breakguide::stepFromRawValue("Controls"), std::nullopt);
    EXPECT_EQ(breakguide::stepFromRawValue(""), std::nullopt);
    QStringList ids;
    for (const GuidedTourStep &step : breakguide::tourSteps())
        ids << step.id;
    EXPECT_EQ(ids, (QStringList{"timer", "controls", "progress"}));
    EXPECT_EQ(breakguide::content(BreakGuideStep::progress).title, "Track today's progress");
    EXPECT_EQ(breakguide::content(BreakGuideStep::controls).symbolName, "slider.horizontal.3");
}

TEST_F(BreakRemindersModelTest, TheTourMovesThroughTheThreePartsAndFinishes)
{
    GuidedTour &tour = *model->tour();
    EXPECT_FALSE(tour.isOpen());
    EXPECT_EQ(tour.anchorId("timer"), "breakGuide-timer");

    tour.open();
    EXPECT_EQ(tour.currentStep(), "timer");
    EXPECT_FALSE(tour.canGoBack());
    EXPECT_EQ(tour.positionText(), "Step 1 of 3");
    EXPECT_EQ(tour.nextLabel(), "Next");
    tour.previous(); // Back on the first step does nothing
    EXPECT_EQ(tour.currentStep(), "timer");
    tour.select("progress"); // a dot skips the steps between
    EXPECT_EQ(tour.currentStep(), "progress");
    EXPECT_EQ(tour.changeDuration(), 200) << "this tour moves between steps over 0.2 s";
    tour.open(); // the guide button keeps the current step
    EXPECT_EQ(tour.currentStep(), "progress");
    EXPECT_EQ(tour.nextLabel(), "Finish");
    EXPECT_EQ(tour.currentTitle(), "Track today's progress");

    tour.next(); // Finish
    EXPECT_FALSE(tour.isOpen());
    EXPECT_TRUE(tour.completed());
    EXPECT_TRUE(defaults->boolForKey("breakRemindersGuideCompleted"));

    // Finished once, the tour still opens; closing it on its first step finishes it.
    defaults->setBool("breakRemindersGuideCompleted", false);
    tour.open();
    EXPECT_EQ(tour.currentStep(), "timer");
    tour.finish();
    EXPECT_FALSE(tour.isOpen());
    EXPECT_TRUE(defaults->boolForKey("breakRemindersGuideCompleted"));

    // The step lives only as long as the page: a new page starts closed.
    tour.open();
    BreakRemindersModel again;
    EXPECT_FALSE(again.tour()->isOpen());
    EXPECT_TRUE(again.tour()->completed());
}

} // namespace
