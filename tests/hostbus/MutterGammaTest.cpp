#include "HostBusTest.h"

#include "platform/host/MutterGamma.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QSignalSpy>
#include <QTest>

using namespace qv;
using host::GammaMethod;
using host::GnomeNightLight;
using host::MutterGamma;

namespace {

const QString kConfig = QString::fromLatin1(MutterGamma::kService);
const QString kConfigPath = QString::fromLatin1(MutterGamma::kPath);
const QString kControl = QStringLiteral("org.quellvista.Test.DisplayConfig");
const QString kColor = QString::fromLatin1(GnomeNightLight::kService);
const QString kLog = QStringLiteral("HostDisplays");

struct Written {
    quint32 serial = 0, crtc = 0;
    QString connector;
    GammaRamp ramp;
};

class MutterGammaTest : public test::HostBusTest {
protected:
    void startConfig() { ASSERT_TRUE(bus->startService(kConfig, QStringLiteral(QV_TEST_SERVICES "/display_config.py"))); }
    QDBusMessage control(const QString &method, const QVariantList &arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(kConfig, kConfigPath, kControl, method);
        message.setArguments(arguments);
        return bus->connection().call(message);
    }
    // A method on the stand-in, read once the first layout is in.
    std::unique_ptr<MutterGamma> ready(int timeoutMs = 2'000)
    {
        auto gamma = std::make_unique<MutterGamma>(bus->connection(), MutterGamma::Options{timeoutMs});
        settle(*gamma);
        return gamma;
    }
    static void settle(MutterGamma &gamma)
    {
        QSignalSpy changed(&gamma, &GammaMethod::layoutChanged);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !changed.isEmpty() && !gamma.isReading(); }, 10'000));
    }
    static GammaRamp channels(const QDBusArgument &red, const QDBusArgument &green, const QDBusArgument &blue)
    {
        GammaRamp ramp;
        red >> ramp.red;
        green >> ramp.green;
        blue >> ramp.blue;
        return ramp;
    }
    GammaRamp rampOf(const QString &connector)
    {
        const QVariantList answer = control(QStringLiteral("Ramp"), {connector}).arguments();
        return channels(qvariant_cast<QDBusArgument>(answer.value(0)), qvariant_cast<QDBusArgument>(answer.value(1)),
                        qvariant_cast<QDBusArgument>(answer.value(2)));
    }
    QList<Written> writes()
    {
        QList<Written> list;
        const QDBusArgument answer = qvariant_cast<QDBusArgument>(control(QStringLiteral("Writes")).arguments().value(0));
        answer.beginArray();
        while (!answer.atEnd()) {
            Written write;
            answer.beginStructure();
            answer >> write.serial >> write.crtc >> write.connector >> write.ramp.red >> write.ramp.green >> write.ramp.blue;
            answer.endStructure();
            list << write;
        }
        answer.endArray();
        return list;
    }
    static GammaRamp formula(int size, float max = 0.8f)
    {
        return gammaRampForFormula({0, max, 1, 0, max, 1.2f, 0, max, 1.4f}, size);
    }
};

const GammaMethod::Output *outputNamed(const GammaMethod::Layout &layout, const QString &name)
{
    for (const GammaMethod::Output &output : layout.outputs)
        if (output.name == name)
            return &output;
    return nullptr;
}

} // namespace

// The layout and the monitors' identities come from GetResources and GetCurrentState,
// and every lit CRTC's ramp is read before layoutChanged(): the originals can be kept.
TEST_F(MutterGammaTest, TheLayoutIdentitiesAndRampsAreReadAhead)
{
    startConfig();
    const auto gamma = ready();
    const GammaMethod::Layout layout = gamma->layout();
    ASSERT_EQ(layout.outputs.size(), 2);
    const GammaMethod::Output *dp = outputNamed(layout, QStringLiteral("DP-1"));
    const GammaMethod::Output *panel = outputNamed(layout, QStringLiteral("eDP-1"));
    ASSERT_TRUE(dp && panel);
    EXPECT_EQ(dp->crtc, 1u) << "the compositor's CRTC 0, plus one";
    EXPECT_EQ(panel->crtc, 2u);
    EXPECT_EQ(layout.gammaSizes, (QHash<quint32, int>{{1, 256}, {2, 1024}})) << "the unlit CRTC is not read";
    EXPECT_EQ(dp->edid.manufacturer, QStringLiteral("DEL"));
    EXPECT_EQ(dp->edid.vendor, 0x10acu);
    EXPECT_EQ(dp->edid.name, QStringLiteral("DELL P2419H"));
    EXPECT_EQ(dp->edid.serialText, QStringLiteral("CFV9N93"));
    EXPECT_EQ(panel->edid.model, 0x0a81u);
    EXPECT_TRUE(panel->builtIn && panel->primary && !dp->builtIn && !dp->primary);
    EXPECT_EQ(panel->position, QPoint(1920, 0));
    EXPECT_EQ(panel->pixelsWide, 2560);
    ASSERT_EQ(panel->currentMode, 0);
    EXPECT_EQ(panel->modes.at(0).refreshRate, 120.0);
    EXPECT_EQ(gamma->currentRamp(1), rampOf(QStringLiteral("DP-1")));
    EXPECT_EQ(gamma->currentRamp(2), rampOf(QStringLiteral("eDP-1")));
    EXPECT_NE(gamma->currentRamp(1), formula(256, 1.0f)) << "the stand-in starts off the identity";
    EXPECT_TRUE(gamma->unavailableReason().isEmpty());
    EXPECT_FALSE(gamma->serverMark().isEmpty());
    EXPECT_TRUE(logs->messages(kLog).isEmpty());
}

// The compositor's vendor, product and serial texts make an identity that names the
// monitor alone; "unknown" parts name nothing, and without any the output's name does.
TEST_F(MutterGammaTest, TheIdentityComesFromTheVendorProductAndSerialTexts)
{
    const EdidInfo coded = MutterGamma::identity(QStringLiteral("DEL"), QStringLiteral("0xa0c3"), QStringLiteral("0x00abcdef"));
    EXPECT_TRUE(coded.valid);
    EXPECT_EQ(coded.vendor, 0x10acu);
    EXPECT_EQ(coded.model, 0xa0c3u);
    EXPECT_EQ(coded.serial, 0xabcdefu);
    const EdidInfo unknown = MutterGamma::identity(QStringLiteral("unknown"), QStringLiteral("unknown"), QString());
    EXPECT_FALSE(unknown.valid);
    EXPECT_EQ(monitorDisplayId(unknown, QStringLiteral("DP-1")), monitorDisplayId(EdidInfo{}, QStringLiteral("DP-1")));
    EXPECT_FALSE(MutterGamma::identity(QStringLiteral("dell"), QStringLiteral("x"), QStringLiteral("1")).problem.isEmpty());
    const auto id = [](const char *serial) {
        return monitorDisplayId(MutterGamma::identity(QStringLiteral("GSM"), QStringLiteral("LG HDR 4K"), QLatin1String(serial)),
                                QStringLiteral("HDMI-1"));
    };
    EXPECT_EQ(id("0x0001a2b3"), id("0x0001a2b3"));
    EXPECT_NE(id("0x0001a2b3"), id("0x0001a2b4"));
    EXPECT_NE(id("ABC123"), id("ABC124"));
}

// A ramp of the CRTC's size reaches the compositor bit for bit, under the current serial;
// one of another size or for a CRTC without a ramp is refused before anything is sent.
TEST_F(MutterGammaTest, AWriteReachesTheCompositorBitExact)
{
    startConfig();
    const auto gamma = ready();
    const GammaRamp ramp = formula(1024);
    EXPECT_EQ(gamma->writeRamp(1, formula(1024)).status, GammaMethod::Status::wrongSize);
    EXPECT_EQ(gamma->writeRamp(3, formula(256)).status, GammaMethod::Status::unknownCrtc);
    ASSERT_TRUE(gamma->writeRamp(2, ramp).ok());
    ASSERT_TRUE(QTest::qWaitFor([&] { return gamma->currentRamp(2) == ramp; }, 5'000));
    const QList<Written> written = writes();
    ASSERT_EQ(written.size(), 1);
    EXPECT_EQ(written[0].crtc, 1u);
    EXPECT_EQ(written[0].connector, QStringLiteral("eDP-1"));
    EXPECT_EQ(written[0].ramp, ramp);
    EXPECT_EQ(rampOf(QStringLiteral("eDP-1")), ramp);
}

// A serial that changed under a write (the CRTCs trading ids) is refused by the
// compositor; the method reads again, says the write failed, and only the new ids are
// written after that: nothing lands on the wrong CRTC. While a read is under way, writes
// answer stale without being sent.
TEST_F(MutterGammaTest, AStaleSerialIsReadAgainNeverWrittenToTheWrongCrtc)
{
    startConfig();
    const auto gamma = ready();
    const GammaRamp panelBefore = rampOf(QStringLiteral("eDP-1"));
    control(QStringLiteral("SwapCrtcs"));
    QSignalSpy failed(gamma.get(), &GammaMethod::writeFailed);
    QSignalSpy changed(gamma.get(), &GammaMethod::layoutChanged);
    ASSERT_TRUE(gamma->writeRamp(1, formula(256)).ok()) << "the method cannot know yet";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !failed.isEmpty() && !changed.isEmpty() && !gamma->isReading(); }, 5'000));
    EXPECT_EQ(failed.first().at(0).toUInt(), 1u);
    EXPECT_TRUE(writes().isEmpty());
    EXPECT_EQ(rampOf(QStringLiteral("eDP-1")), panelBefore);
    EXPECT_EQ(outputNamed(gamma->layout(), QStringLiteral("DP-1"))->crtc, 2u);
    ASSERT_TRUE(gamma->writeRamp(2, formula(256)).ok());
    ASSERT_TRUE(QTest::qWaitFor([&] { return writes().size() == 1; }, 5'000));
    EXPECT_EQ(writes().at(0).connector, QStringLiteral("DP-1"));
    EXPECT_EQ(logs->messages(kLog).size(), 1);

    control(QStringLiteral("BumpSerial"), {true});
    ASSERT_TRUE(QTest::qWaitFor([&] { return gamma->isReading(); }, 5'000));
    EXPECT_EQ(gamma->writeRamp(2, formula(256)).status, GammaMethod::Status::stale);
    settle(*gamma);
    EXPECT_TRUE(gamma->writeRamp(2, formula(256)).ok());
}

// A monitor plugged in: MonitorsChanged, a new layout with its CRTC and ramp read ahead.
TEST_F(MutterGammaTest, MonitorsChangedBringsANewCrtc)
{
    startConfig();
    const auto gamma = ready();
    QSignalSpy changed(gamma.get(), &GammaMethod::layoutChanged);
    control(QStringLiteral("PlugMonitor"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !changed.isEmpty() && !gamma->isReading(); }, 5'000));
    const GammaMethod::Output *hdmi = outputNamed(gamma->layout(), QStringLiteral("HDMI-1"));
    ASSERT_TRUE(hdmi);
    EXPECT_EQ(hdmi->crtc, 3u);
    EXPECT_EQ(gamma->layout().gammaSizes.value(3), 256);
    EXPECT_EQ(gamma->currentRamp(3), rampOf(QStringLiteral("HDMI-1")));
}

// Every hostile answer gives one log line and a reason for the page (ramps not answered:
// each CRTC's, since the displays are known), no ramp and no write; once the compositor
// answers well again (a new serial), the layout is back.
TEST_F(MutterGammaTest, HostileAnswersAreLoggedOnceAndWriteNothing)
{
    const std::pair<const char *, const char *> faults[] = {
        {"GetResources", "types"},   {"GetCurrentState", "types"}, {"GetCrtcGamma", "types"},
        {"GetCrtcGamma", "sizes"},   {"GetCrtcGamma", "empty"},    {"GetCrtcGamma", "vanished"},
        {"GetCrtcGamma", "silent"},
    };
    startConfig();
    for (const auto &[method, fault] : faults) {
        SCOPED_TRACE(std::string(method) + " " + fault);
        logs->clear();
        control(QStringLiteral("SetFault"), {QLatin1String(method), QLatin1String(fault)});
        const bool rampsUnanswered = QLatin1String(method) == QLatin1String("GetCrtcGamma")
                                     && QLatin1String(fault) == QLatin1String("silent");
        const auto gamma = ready(300);
        EXPECT_TRUE(gamma->layout().gammaSizes.isEmpty());
        EXPECT_EQ(gamma->unavailableReason().isEmpty(), rampsUnanswered);
        EXPECT_FALSE(gamma->currentRamp(1));
        EXPECT_FALSE(gamma->writeRamp(1, formula(256)).ok());
        EXPECT_EQ(logs->messages(kLog).size(), 1) << logs->messages(kLog).join(QLatin1Char('\n')).toStdString();
        control(QStringLiteral("SetFault"), {QLatin1String(method), QString()});
        control(QStringLiteral("BumpSerial"), {true});
        settle(*gamma);
        EXPECT_EQ(gamma->layout().gammaSizes.size(), 2);
        EXPECT_TRUE(gamma->unavailableReason().isEmpty());
    }
    EXPECT_TRUE(writes().isEmpty());
    // A layout not told for the whole of its long wait is asked for again at once.
    control(QStringLiteral("SetFault"), {QStringLiteral("GetResources"), QStringLiteral("silent")});
    MutterGamma late(bus->connection(), MutterGamma::Options{300, 300});
    control(QStringLiteral("SetFault"), {QStringLiteral("GetResources"), QString()});
    EXPECT_TRUE(QTest::qWaitFor([&] { return late.layout().gammaSizes.size() == 2; }, 5'000));
}

// A write the compositor never answers fails with one log line once its time is up; the
// read that follows it, refused, is an answer: the stall is over, with no read after read.
TEST_F(MutterGammaTest, AnUnansweredWriteFails)
{
    startConfig();
    const auto gamma = ready(300);
    control(QStringLiteral("SetFault"), {QStringLiteral("SetCrtcGamma"), QStringLiteral("silent")});
    control(QStringLiteral("SetFault"), {QStringLiteral("GetCrtcGamma"), QStringLiteral("vanished")});
    QSignalSpy failed(gamma.get(), &GammaMethod::writeFailed);
    ASSERT_TRUE(gamma->writeRamp(1, formula(256)).ok());
    ASSERT_TRUE(failed.wait(5'000));
    EXPECT_EQ(logs->messages(kLog).size(), 1);
    EXPECT_NE(gamma->currentRamp(1), formula(256));
    EXPECT_TRUE(QTest::qWaitFor([&] { return logs->containsPart(kLog, QStringLiteral("configuration answers again")); }, 2'000));
}

// Refused writes do not make a loop of reads and writes with a back-end that writes every
// layout anew: a CRTC the compositor says does not exist is left out until the screens
// change; a serial that moves under every write stops the writes after a few reads, with
// one line, until bus::kRetryMs have passed.
TEST_F(MutterGammaTest, RefusedWritesMakeNoLoop)
{
    startConfig();
    const auto gamma = ready();
    int layouts = 0;
    QObject::connect(gamma.get(), &GammaMethod::layoutChanged, gamma.get(), [&] {
        ++layouts;
        const QHash<quint32, int> sizes = gamma->layout().gammaSizes;
        for (auto size = sizes.cbegin(); size != sizes.cend(); ++size)
            (void)gamma->writeRamp(size.key(), formula(size.value()));
    });
    control(QStringLiteral("SetFault"), {QStringLiteral("SetCrtcGamma"), QStringLiteral("vanished")});
    ASSERT_TRUE(gamma->writeRamp(1, formula(256)).ok());
    ASSERT_TRUE(QTest::qWaitFor([&] { return gamma->layout().gammaSizes.isEmpty(); }, 5'000));
    EXPECT_EQ(layouts, 2);
    EXPECT_EQ(logs->messages(kLog).size(), 2);

    logs->clear();
    layouts = 0;
    control(QStringLiteral("SetFault"), {QStringLiteral("SetCrtcGamma"), QStringLiteral("stale")});
    control(QStringLiteral("BumpSerial"), {true});
    ASSERT_TRUE(QTest::qWaitFor([&] { return gamma->unavailableReason().contains(QLatin1String("settles")); }, 10'000));
    EXPECT_EQ(layouts, 6) << "five reads and the one that gives up";
    EXPECT_EQ(logs->messages(kLog).size(), 5) << logs->messages(kLog).join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(writes().isEmpty());
    control(QStringLiteral("SetFault"), {QStringLiteral("SetCrtcGamma"), QString()});
    advance(bus::kRetryMs);
    ASSERT_TRUE(QTest::qWaitFor([&] { return writes().size() == 2; }, 5'000));
}

// A compositor that goes and comes back: gone meanwhile, read afresh with a new mark.
TEST_F(MutterGammaTest, ARestartedCompositorIsReadAfresh)
{
    startConfig();
    const auto gamma = ready();
    const QString mark = gamma->serverMark();
    bus->stopMock(kConfig);
    ASSERT_TRUE(QTest::qWaitFor([&] { return gamma->layout().outputs.isEmpty(); }, 5'000));
    EXPECT_EQ(gamma->writeRamp(1, formula(256)).status, GammaMethod::Status::gone);
    EXPECT_FALSE(gamma->unavailableReason().isEmpty());
    startConfig();
    ASSERT_TRUE(QTest::qWaitFor([&] { return gamma->layout().gammaSizes.size() == 2; }, 5'000));
    EXPECT_NE(gamma->serverMark(), mark);
    EXPECT_TRUE(gamma->unavailableReason().isEmpty());
}

// Night Light's state follows the colour service's property; a value of the wrong type
// counts as off with one log line; a service that goes takes it with it.
TEST_F(MutterGammaTest, NightLightFollowsTheColourService)
{
    ASSERT_TRUE(bus->startMock(kColor, {QStringLiteral("--template"), QStringLiteral(QV_MOCK_TEMPLATES "/gsd_color.py"),
                                        QStringLiteral("-p"), QStringLiteral("{\"active\": true}")}));
    GnomeNightLight light(bus->connection());
    QSignalSpy changed(&light, &GnomeNightLight::activeChanged);
    ASSERT_TRUE(QTest::qWaitFor([&] { return light.active(); }, 5'000));
    const QString path = QString::fromLatin1(GnomeNightLight::kPath);
    const QString interface = QString::fromLatin1(GnomeNightLight::kInterface);
    const QString property = QString::fromLatin1(GnomeNightLight::kProperty);
    ASSERT_EQ(bus->setProperty(kColor, path, interface, property, false), QString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !light.active(); }, 5'000));
    ASSERT_EQ(bus->setProperty(kColor, path, interface, property, true), QString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return light.active(); }, 5'000));
    ASSERT_EQ(bus->setProperty(kColor, path, interface, property, QStringLiteral("yes")), QString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !light.active(); }, 5'000));
    EXPECT_EQ(logs->messages(kLog).size(), 1);
    ASSERT_EQ(bus->setProperty(kColor, path, interface, property, true), QString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return light.active(); }, 5'000));
    bus->stopMock(kColor);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !light.active(); }, 5'000));
    EXPECT_EQ(changed.size(), 6);
}
