// The RandR display services on an X server with several outputs (the dummy video driver),
// real EDIDs and a starting ramp of its own on each CRTC.

#include "platform/host/RandrDisplays.h"
#include "support/DummyXorg.h"
#include "support/LogCapture.h"
#include "support/RandrClient.h"
#include "support/RealEdids.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qv {
namespace {

class RandrMonitorsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!server.isRunning()) {
            if (test::DummyXorg::required())
                FAIL() << qPrintable(server.failure());
            GTEST_SKIP() << qPrintable(server.failure());
        }
        ASSERT_TRUE(folder.isValid());
        client = std::make_unique<test::RandrClient>(server.display());
        // Three monitors side by side, probed as a desktop does at login.
        ASSERT_TRUE(server.enable(QStringLiteral("DUMMY1"), QStringLiteral("1920x1080"), {2048, 0}));
        ASSERT_TRUE(server.enable(QStringLiteral("DUMMY2"), QStringLiteral("1600x1200"), {3968, 0}));
        ASSERT_EQ(server.xrandr({}), 0);
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(client->publishEdid(output(i), test::kRealEdids[i]));
            ASSERT_TRUE(client->setRamp(output(i), test::startingRamp(i + 1, 256)));
        }
    }

    static QString output(int index) { return QStringLiteral("DUMMY%1").arg(index); }

    std::unique_ptr<RandrDisplays> open(const QString &display = {})
    {
        RandrDisplays::Options options;
        options.displayName = display.isEmpty() ? server.display() : display;
        options.restoreFilePath = folder.filePath(QStringLiteral("gamma.json"));
        return std::make_unique<RandrDisplays>(options);
    }

    test::DummyXorg server;
    QTemporaryDir folder;
    std::unique_ptr<test::RandrClient> client;
};

TEST_F(RandrMonitorsTest, ListsEveryLitMonitorWithItsEdid)
{
    auto displays = open();
    const QList<DisplayId> active = displays->activeDisplays();
    ASSERT_EQ(active.size(), 3);
    QStringList names;
    for (const DisplayId id : active)
        names << displays->monitorName(id);
    EXPECT_EQ(names, (QStringList{QStringLiteral("LP140WH2-TLA2"), QStringLiteral("D3218HN"), QStringLiteral("1619w")}));
    EXPECT_EQ(displays->pixelsWide(displays->displayForOutputName(output(2)).value_or(0)), 1600);
}

} // namespace
} // namespace qv
