#include "HostBusTest.h"

#include "display/AmbientLightSensor.h"
#include "display/DisplayTuning.h"
#include "platform/host/HostAmbientLight.h"

#include <QDBusVariant>
#include <QTest>

using namespace qv;

namespace {

const QString kProxyPath = QString::fromLatin1(HostAmbientLight::kPath);

class HostAmbientLightTest : public test::HostBusTest {
protected:
    QString iio() const { return sysfs.filePath(QStringLiteral("iio")); }

    void startProxy(const QString &parameters)
    {
        ASSERT_TRUE(bus->startMock(kProxy, {QStringLiteral("--template"), QStringLiteral("iio-sensors-proxy"),
                                            QStringLiteral("-p"), parameters}));
    }
    void setLevel(double level)
    {
        ASSERT_EQ(bus->call(kProxy, kProxyPath, QStringLiteral("org.freedesktop.DBus.Mock"),
                            QStringLiteral("SetInternalProperty"),
                            {kProxy, QStringLiteral("LightLevel"), QVariant::fromValue(QDBusVariant(level))}),
                  QString());
    }
    // Sets the level and waits until the proxy's change signal has reached light.
    void changeLevel(HostAmbientLight &light, double level)
    {
        setLevel(level);
        ASSERT_TRUE(QTest::qWaitFor([&] {
            const std::optional<AmbientLightReading> reading = light.currentReading();
            return reading && reading->value == level;
        }));
    }
    void install(HostAmbientLight &light)
    {
        PlatformServices services = mac->services();
        services.ambientLight = &light;
        installPlatform(services);
    }
};

} // namespace

// A room that goes dark moves the ambient comfort level at the next 12 s reading; the
// sensor is claimed for the reading.
TEST_F(HostAmbientLightTest, ADarkRoomMovesTheAmbientLevel)
{
    startProxy(QStringLiteral("{\"has_ambient_light\": true, \"light_level\": 300.0}"));
    HostAmbientLight light(bus->connection(), iio());
    install(light);
    DisplayTuning &tuning = DisplayTuning::shared();
    tuning.setAmbientAwareComfortEnabled(true);
    // The claim is answered without waiting; the level is read the moment it is ready.
    ASSERT_TRUE(QTest::qWaitFor([&] { return tuning.ambientLightStatus() == "300 lux"; }));
    EXPECT_EQ(tuning.ambientComfortLevel(), 0);
    EXPECT_EQ(tuning.ambientComfortLabel(), "Bright room");
    const QDBusMessage owners = QDBusMessage::createMethodCall(kProxy, kProxyPath, QStringLiteral("org.freedesktop.DBus.Mock"),
                                                               QStringLiteral("GetInternalProperty"))
        << QStringLiteral("AmbientLightOwners");
    EXPECT_EQ(bus->connection().call(owners).arguments().value(0).toStringList().size(), 1) << "claimed once";

    // The proxy's change signal keeps the level current; the 12 s reading asks nothing.
    changeLevel(light, 5);
    advance(12'000);
    EXPECT_EQ(tuning.ambientLightStatus(), "5 lux");
    EXPECT_DOUBLE_EQ(tuning.ambientComfortLevel(), 1);
    EXPECT_EQ(tuning.ambientComfortLabel(), "Dark room");
    EXPECT_TRUE(logs->messages(QStringLiteral("AmbientLight")).isEmpty());

    // Ambient comfort off: the sensor is released half a minute later.
    tuning.setAmbientAwareComfortEnabled(false);
    advance(HostAmbientLight::kReleaseAfterMs);
    EXPECT_TRUE(QTest::qWaitFor([&] { return bus->connection().call(owners).arguments().value(0).toStringList().isEmpty(); }));
}

// A proxy whose light sensor goes says HasAmbientLight false: its last level is dropped,
// as when the proxy goes, so a dark room does not stay dark; a sensor that comes back is
// claimed again.
TEST_F(HostAmbientLightTest, ASensorThatGoesIsUnavailable)
{
    startProxy(QStringLiteral("{\"has_ambient_light\": true, \"light_level\": 5.0}"));
    HostAmbientLight light(bus->connection(), iio());
    install(light);
    DisplayTuning &tuning = DisplayTuning::shared();
    tuning.setAmbientAwareComfortEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tuning.ambientComfortLabel() == "Dark room"; }));
    const auto setHasLight = [&](bool has) {
        ASSERT_EQ(bus->call(kProxy, kProxyPath, kMock, QStringLiteral("SetInternalProperty"),
                            {kProxy, QStringLiteral("HasAmbientLight"), QVariant::fromValue(QDBusVariant(has))}),
                  QString());
    };
    setHasLight(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tuning.ambientLightStatus() == "Sensor unavailable"; }));
    EXPECT_EQ(tuning.ambientComfortLevel(), 0);
    EXPECT_EQ(logs->messages(QStringLiteral("AmbientLight")).size(), 1);
    setHasLight(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tuning.ambientLightStatus() == "5 lux"; }));
}

// A level in the sensor's own unit is scaled as a raw registry value is: 20000 is 20 lux.
TEST_F(HostAmbientLightTest, VendorUnitsAreScaledAsRawValues)
{
    startProxy(QStringLiteral("{\"has_ambient_light\": true, \"light_level\": 20000.0, \"light_level_unit\": \"vendor\"}"));
    HostAmbientLight light(bus->connection(), iio());
    std::optional<AmbientLightReading> reading;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (reading = light.currentReading()).has_value(); }));
    EXPECT_EQ(reading->unit, AmbientLightReading::Unit::vendor);
    EXPECT_EQ(ambientLight::luxFromReading(*reading), 20);
    // Lux are taken as they are, a bright day included.
    EXPECT_EQ(ambientLight::luxFromReading({5000, AmbientLightReading::Unit::lux}), 5000);
    EXPECT_EQ(ambientLight::luxFromReading({-1, AmbientLightReading::Unit::lux}), std::nullopt);
}

// A level of the wrong type gives no reading, with one line; the proxy without a light
// sensor and no kernel channel is the unavailable sensor.
TEST_F(HostAmbientLightTest, UnusableProxyAnswersGiveNoReading)
{
    const auto startProxyWith = [&](const QVariant &hasLight) {
        ASSERT_TRUE(bus->startMock(kProxy, {QStringLiteral("--system"), kProxy, kProxyPath, kProxy}));
        const QString mock = QStringLiteral("org.freedesktop.DBus.Mock");
        ASSERT_EQ(bus->call(kProxy, kProxyPath, mock, QStringLiteral("AddMethod"),
                            {kProxy, QStringLiteral("ClaimLight"), QString(), QString(), QString()}),
                  QString());
        const QVariantMap properties{{QStringLiteral("HasAmbientLight"), hasLight},
                                     {QStringLiteral("LightLevel"), QStringLiteral("dim")},
                                     {QStringLiteral("LightLevelUnit"), QStringLiteral("lux")}};
        ASSERT_EQ(bus->call(kProxy, kProxyPath, mock, QStringLiteral("AddProperties"), {kProxy, properties}), QString());
    };
    startProxyWith(true);
    HostAmbientLight light(bus->connection(), iio());
    install(light);
    DisplayTuning &tuning = DisplayTuning::shared();
    tuning.setAmbientAwareComfortEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !logs->messages(QStringLiteral("AmbientLight")).isEmpty(); }));
    advance(12'000);
    EXPECT_EQ(tuning.ambientLightStatus(), "Sensor unavailable");
    EXPECT_EQ(logs->messages(QStringLiteral("AmbientLight")),
              QStringList{"The sensor proxy gives a value of signature s as the light level"});

    // A level in a unit given as a number; then a proxy that gives its sensor as text.
    ASSERT_EQ(bus->setProperty(kProxy, kProxyPath, kProxy, QStringLiteral("LightLevel"), 50.0), QString());
    ASSERT_EQ(bus->setProperty(kProxy, kProxyPath, kProxy, QStringLiteral("LightLevelUnit"), 7), QString());
    const auto logged = [&](HostAmbientLight &reader, const char *part) {
        return QTest::qWaitFor([&] {
            reader.currentReading();
            return logs->containsPart(QStringLiteral("AmbientLight"), QString::fromLatin1(part));
        });
    };
    EXPECT_TRUE(logged(light, "a value of signature i as the light level's unit"));
    EXPECT_EQ(light.currentReading(), std::nullopt);
    bus->stopMock(kProxy);
    startProxyWith(QStringLiteral("yes"));
    HostAmbientLight later(bus->connection(), iio());
    EXPECT_TRUE(logged(later, "gives a value of signature s for its light sensor"));
    EXPECT_EQ(later.currentReading(), std::nullopt);
}

TEST_F(HostAmbientLightTest, WithoutAProxyTheKernelChannelIsRead)
{
    // No proxy on the bus, no device in the folder: unavailable, after one line.
    HostAmbientLight light(bus->connection(), iio());
    EXPECT_EQ(light.currentReading(), std::nullopt);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !logs->messages(QStringLiteral("AmbientLight")).isEmpty(); }));
    EXPECT_EQ(light.currentReading(), std::nullopt);
    EXPECT_EQ(logs->messages(QStringLiteral("AmbientLight")).size(), 1);
    EXPECT_TRUE(logs->containsPart(QStringLiteral("AmbientLight"), QStringLiteral("The sensor proxy does not answer")));

    writeFile(iio(), "iio:device0/in_illuminance_raw", "250\n");
    writeFile(iio(), "iio:device0/in_illuminance_scale", "0.1\n");
    EXPECT_EQ(light.currentReading(), (AmbientLightReading{25, AmbientLightReading::Unit::lux}));
}

// The kernel's channels: processed lux first, else raw through scale and offset, else the
// raw figure in the sensor's unit; unusable ones give no reading and say why.
TEST_F(HostAmbientLightTest, KernelChannelsAndTheirFaults)
{
    struct Case {
        const char *name;
        QList<std::pair<const char *, const char *>> files;
        std::optional<AmbientLightReading> expected;
        const char *fault;
    };
    using Unit = AmbientLightReading::Unit;
    const QList<Case> cases = {
        {"processed", {{"in_illuminance_input", "41.5"}, {"in_illuminance_raw", "9"}}, AmbientLightReading{41.5, Unit::lux}, ""},
        {"raw with scale and offset", {{"in_illuminance0_raw", "100"}, {"in_illuminance0_scale", "0.5"}, {"in_illuminance0_offset", "10"}},
         AmbientLightReading{55, Unit::lux}, ""},
        {"shared scale", {{"in_illuminance0_raw", "100"}, {"in_illuminance_scale", "2"}}, AmbientLightReading{200, Unit::lux}, ""},
        {"no scale", {{"in_illuminance_raw", "20000"}}, AmbientLightReading{20000, Unit::vendor}, ""},
        {"scale 0", {{"in_illuminance_raw", "100"}, {"in_illuminance_scale", "0"}}, std::nullopt, "a scale of \"0\""},
        {"negative raw", {{"in_illuminance_raw", "-4"}, {"in_illuminance_scale", "1"}}, std::nullopt, "holds \"-4\""},
        {"garbage", {{"in_illuminance_input", "bright"}}, std::nullopt, "holds \"bright\""},
        {"other channels only", {{"in_intensity_both_raw", "12"}}, std::nullopt, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir root;
        for (const auto &[file, text] : c.files)
            writeFile(root.path(), QStringLiteral("iio:device0/%1").arg(QLatin1String(file)), QString::fromLatin1(text));
        QString fault;
        EXPECT_EQ(HostAmbientLight::iioReading(root.path(), &fault), c.expected);
        EXPECT_TRUE(fault.contains(QString::fromLatin1(c.fault))) << fault.toStdString();
        EXPECT_EQ(fault.isEmpty(), QByteArray(c.fault).isEmpty()) << fault.toStdString();
    }
}

// A proxy that starts after ambient comfort is on is claimed and read at once; a level
// drifting within one room is logged once, not at every reading.
TEST_F(HostAmbientLightTest, ALateProxyIsReadAndADriftingLevelIsQuiet)
{
    HostAmbientLight light(bus->connection(), iio());
    install(light);
    DisplayTuning &tuning = DisplayTuning::shared();
    tuning.setAmbientAwareComfortEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !logs->messages(QStringLiteral("AmbientLight")).isEmpty(); }));
    EXPECT_EQ(tuning.ambientLightStatus(), "Sensor unavailable");

    startProxy(QStringLiteral("{\"has_ambient_light\": true, \"light_level\": 40.0}"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return tuning.ambientLightStatus() == "40 lux"; }));
    logs->clear();
    for (int i = 0; i < 20; ++i) {
        changeLevel(light, 40 + (i + 1) % 5);
        advance(12'000);
    }
    EXPECT_EQ(tuning.ambientComfortLabel(), "Dim room");
    EXPECT_TRUE(logs->messages(QStringLiteral("DisplayTuning")).isEmpty());
    changeLevel(light, 2000);
    advance(12'000);
    EXPECT_EQ(logs->messages(QStringLiteral("DisplayTuning")),
              QStringList{"Ambient comfort: Bright room (level 0.00, 2000 lux)"});
}
