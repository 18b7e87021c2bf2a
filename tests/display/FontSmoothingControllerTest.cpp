#include "display/FontSmoothingController.h"

#include "runtime/Scheduler.h"
#include "support/TestEnvironment.h"

using namespace qv;
using namespace qv::test;

namespace {

const QString kDefaults = QStringLiteral("/usr/bin/defaults");
const QString kKey = QStringLiteral("CGFontRenderingFontSmoothingDisabled");

ProcessResult finished(int exitCode, const QByteArray &out = {})
{
    ProcessResult result;
    result.started = true;
    result.exitCode = exitCode;
    result.standardOutput = out;
    return result;
}

class FontSmoothingTest : public QvTest {
protected:
    // Answers every "defaults" command with `result` and records the arguments.
    void answerWith(const ProcessResult &result)
    {
        mac->setProcessHandler(kDefaults, [this, result](const QStringList &arguments) {
            calls << arguments;
            return result;
        });
    }
    // Lets the simulated Mac answer again.
    void answerNormally() { mac->setProcessHandler(kDefaults, {}); }

    QList<QStringList> calls;
};

} // namespace

TEST_F(FontSmoothingTest, ReadsTheGlobalSwitchWithOnlyExactlyOneMeaningDisabled)
{
    struct Case {
        QByteArray output;
        int exitCode;
        bool disabled;
    };
    const Case cases[] = {
        {"1\n", 0, true},
        {"  1 \r\n", 0, true},
        {"\t1", 0, true},
        {"0\n", 0, false},
        {"", 1, false},        // the switch was never set
        {"11\n", 0, false},
        {"1 1", 0, false},
        {"yes\n", 0, false},
        {"\xff\xfe" "1", 0, false}, // not UTF-8: taken as nothing
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.output.toStdString());
        FontSmoothingController controller;
        // Start from the opposite state so that a missed assignment shows.
        mac->setGlobalDefault(kKey, c.disabled ? QStringLiteral("0") : QStringLiteral("1"));
        controller.refresh();
        ASSERT_EQ(controller.isDisabled(), !c.disabled);
        calls.clear();
        answerWith(finished(c.exitCode, c.output));
        controller.refresh();
        EXPECT_EQ(controller.isDisabled(), c.disabled);
        EXPECT_EQ(calls, (QList<QStringList>{{"read", "-g", kKey}}));
        answerNormally();
    }
    EXPECT_TRUE(logs->containsPart("FontSmoothing", "Unexpected font smoothing value \"yes\""));
    EXPECT_TRUE(logs->containsPart("FontSmoothing", "is not set"));

    // Several models read the switch at start: an answer that stays the same is said once.
    FontSmoothingController controller;
    mac->setGlobalDefault(kKey, QStringLiteral("0"));
    controller.refresh();
    logs->clear();
    answerWith(finished(1));
    for (int read = 0; read < 3; ++read)
        controller.refresh();
    EXPECT_EQ(logs->messages("FontSmoothing").size(), 1);
}

TEST_F(FontSmoothingTest, ARefreshThatCannotReadKeepsThePreviousValue)
{
    FontSmoothingController controller;
    controller.setDisabled(true);
    ASSERT_TRUE(controller.isDisabled());

    ProcessResult notStarted;
    notStarted.errorText = "no such program";
    ProcessResult timedOut = finished(-1, "1\n");
    timedOut.timedOut = true;
    ProcessResult crashed = finished(-1);
    crashed.crashed = true;
    for (const ProcessResult &result : {notStarted, timedOut, crashed}) {
        answerWith(result);
        controller.refresh();
        EXPECT_TRUE(controller.isDisabled());
    }
    EXPECT_EQ(logs->messages("FontSmoothing").filter("Could not read font smoothing").size(), 3);
    EXPECT_TRUE(logs->containsPart("FontSmoothing", "no such program"));
    EXPECT_TRUE(logs->containsPart("FontSmoothing", "time limit"));
}

TEST_F(FontSmoothingTest, SwitchingWritesTheBooleanAndRecordsTheTime)
{
    FontSmoothingController controller;
    EXPECT_FALSE(controller.isDisabled());
    EXPECT_FALSE(controller.lastToggleTime().isValid());
    EXPECT_EQ(mac->processRunCount(kDefaults), 0); // construction reads nothing

    advance(1500);
    controller.setDisabled(true);
    EXPECT_TRUE(controller.isDisabled());
    EXPECT_EQ(controller.lastToggleTime(), scheduler().now());
    EXPECT_EQ(mac->globalDefault(kKey), QStringLiteral("1"));
    EXPECT_TRUE(logs->contains("FontSmoothing", "Font smoothing set to DISABLED"));

    // Asking for the state it already has starts no process.
    const QDateTime toggled = controller.lastToggleTime();
    advance(1000);
    controller.setDisabled(true);
    EXPECT_EQ(mac->processRunCount(kDefaults), 2) << "the write and its reading back";
    EXPECT_EQ(controller.lastToggleTime(), toggled);

    answerWith(finished(0));
    controller.setDisabled(false);
    EXPECT_EQ(calls, (QList<QStringList>{{"write", "-g", kKey, "-bool", "NO"}, {"read", "-g", kKey}}));
    EXPECT_FALSE(controller.isDisabled());
    EXPECT_TRUE(logs->contains("FontSmoothing", "Font smoothing set to ENABLED"));
    EXPECT_TRUE(controller.failure().isEmpty());

    // A write that the domain does not keep: it reads back as before, and the row says so.
    calls.clear();
    logs->clear();
    controller.setDisabled(true);
    EXPECT_EQ(calls, (QList<QStringList>{{"write", "-g", kKey, "-bool", "YES"}, {"read", "-g", kKey}}));
    EXPECT_FALSE(controller.isDisabled());
    EXPECT_EQ(controller.failure(), "The desktop did not keep the change");
    EXPECT_TRUE(logs->contains("FontSmoothing", "Failed to toggle font smoothing: the setting reads back as 0"));
    EXPECT_FALSE(logs->containsPart("FontSmoothing", "set to DISABLED"));
    answerNormally();
    controller.setDisabled(true);
    EXPECT_TRUE(controller.isDisabled());
    EXPECT_TRUE(controller.failure().isEmpty());
}

TEST_F(FontSmoothingTest, AFailedWriteIsLoggedAndChangesNothing)
{
    FontSmoothingController controller;
    ProcessResult notStarted;
    notStarted.errorText = "no such program";
    ProcessResult timedOut = finished(-1);
    timedOut.timedOut = true;
    ProcessResult refused = finished(1);
    refused.standardError = "Rep argument is not a dictionary\n";
    for (const ProcessResult &result : {notStarted, timedOut, refused}) {
        answerWith(result);
        controller.setDisabled(true);
        EXPECT_FALSE(controller.isDisabled());
        EXPECT_FALSE(controller.lastToggleTime().isValid());
    }
    EXPECT_TRUE(logs->contains("FontSmoothing", "Failed to toggle font smoothing: no such program"));
    EXPECT_TRUE(logs->containsPart("FontSmoothing", "exited with status 1: Rep argument is not a dictionary"));
    EXPECT_EQ(logs->messages("FontSmoothing").filter("Failed to toggle").size(), 3);
}
