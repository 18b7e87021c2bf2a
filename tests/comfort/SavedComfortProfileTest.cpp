#include "comfort/SavedComfortProfile.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace qv;

namespace {

QJsonObject requiredOnly()
{
    return QJsonDocument::fromJson(R"({
        "id": "E621E1F8-C36C-495A-93FC-0C247A3E6E5F", "name": "Late night",
        "brightness": 0.6, "warmth": 0.5, "contrastReduction": 0.1, "softWhite": 0.2,
        "highlightCompression": 0.05, "nightModeEnabled": false, "tuningEnabled": true,
        "pwmEnabled": true, "pwmThreshold": 0.7, "createdAt": 786000000
    })").object();
}

SavedComfortProfile sample()
{
    SavedComfortProfile p;
    p.id = QUuid::createUuid();
    p.name = QStringLiteral("Desk \"lamp\" ☾");
    p.tuning.brightness = 0.71;
    p.tuning.warmth = 0.33;
    p.tuning.contrastReduction = 0.12;
    p.tuning.softWhite = 0.256;
    p.tuning.highlightCompression = 0.4;
    p.tuning.nightModeEnabled = true;
    p.tuning.noBlueModeEnabled = true;
    p.tuning.redModeIntensity = 0.45;
    p.tuning.enabled = true;
    p.pwm.enabled = false;
    p.pwm.threshold = 0.78;
    p.veil.enabled = true;
    p.veil.peripheralSofteningEnabled = false;
    p.veil.peripheralSoftening = 0.9;
    p.veil.highlightDampeningEnabled = false;
    p.veil.highlightDampening = 0.5;
    p.veil.colorCalmEnabled = true;
    p.veil.colorCalm = 0.3;
    p.veil.microtextureEnabled = true;
    p.veil.microtexture = 0.6;
    p.createdAt = QDateTime(QDate(2026, 2, 14), QTime(21, 30, 15, 250), Qt::UTC);
    return p;
}

} // namespace

TEST(SavedComfortProfile, RequiredKeysOnlyFillTheDefaults)
{
    const auto p = SavedComfortProfile::fromJson(requiredOnly());
    ASSERT_TRUE(p);
    EXPECT_EQ(uuidText(p->id), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(p->name, "Late night");
    EXPECT_FALSE(p->veil.enabled);
    EXPECT_TRUE(p->veil.peripheralSofteningEnabled);
    EXPECT_EQ(p->veil.peripheralSoftening, 0.32);
    EXPECT_TRUE(p->veil.highlightDampeningEnabled);
    EXPECT_EQ(p->veil.highlightDampening, 0.22);
    EXPECT_FALSE(p->veil.colorCalmEnabled);
    EXPECT_EQ(p->veil.colorCalm, 0.0);
    EXPECT_FALSE(p->veil.microtextureEnabled);
    EXPECT_EQ(p->veil.microtexture, 0.18);
    EXPECT_FALSE(p->tuning.noBlueModeEnabled);
    EXPECT_EQ(p->tuning.redModeIntensity, 0.0);
    EXPECT_EQ(p->createdAt, QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC).addSecs(786000000));
}

TEST(SavedComfortProfile, RedModeIntensityDefaultFollowsTheDecodedSwitch)
{
    QJsonObject o = requiredOnly();
    o.insert("noBlueModeEnabled", true);
    EXPECT_EQ(SavedComfortProfile::fromJson(o)->tuning.redModeIntensity, 1.0);
    o.insert("redModeIntensity", QJsonValue::Null); // null counts as absent
    EXPECT_EQ(SavedComfortProfile::fromJson(o)->tuning.redModeIntensity, 1.0);
    o.insert("noBlueModeEnabled", QJsonValue::Null);
    EXPECT_EQ(SavedComfortProfile::fromJson(o)->tuning.redModeIntensity, 0.0);
}

TEST(SavedComfortProfile, MissingOrMistypedKeysFailTheRecord)
{
    const struct {
        const char *key;
        QJsonValue value; // Undefined: remove the key
    } cases[] = {
        {"id", QJsonValue::Undefined},          {"id", "not-a-uuid"},
        {"id", "{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}"},
        {"name", 3},                            {"brightness", "0.5"},
        {"nightModeEnabled", 1},                {"createdAt", "2026-01-01T00:00:00Z"},
        {"createdAt", QJsonValue::Undefined},   {"pwmThreshold", QJsonValue::Null},
        {"colorCalm", "0.2"},                   {"comfortVeilEnabled", 0},
        {"microtexture", true},
        // Dates beyond the year 9999 or before the year 0 have no exact date.
        {"createdAt", 9.3e15},                  {"createdAt", -9.3e15},
        {"createdAt", 1e300},                   {"createdAt", 252423993600.0},
        {"createdAt", 252423993599.9996}, // 10000-01-01 once rounded to the millisecond kept
    };
    for (const auto &c : cases) {
        QJsonObject o = requiredOnly();
        if (c.value.isUndefined())
            o.remove(c.key);
        else
            o.insert(c.key, c.value);
        QString error;
        EXPECT_FALSE(SavedComfortProfile::fromJson(o, &error)) << c.key;
        EXPECT_TRUE(error.contains(c.key)) << qPrintable(error);
    }
    EXPECT_FALSE(SavedComfortProfile::fromJson(QJsonValue(42)));
}

TEST(SavedComfortProfile, LowerCaseIdAndOutOfRangeValuesDecodeAsStored)
{
    QJsonObject o = requiredOnly();
    o.insert("id", "e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    o.insert("brightness", -4.0);
    o.insert("colorCalm", 7.5);
    const auto p = SavedComfortProfile::fromJson(o);
    ASSERT_TRUE(p);
    EXPECT_EQ(uuidText(p->id), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(p->tuning.brightness, -4.0);
    EXPECT_EQ(p->veil.colorCalm, 7.5);
}

TEST(SavedComfortProfile, RoundTripGivesAnEqualRecordWithAll23Keys)
{
    const SavedComfortProfile p = sample();
    const QJsonObject o = p.toJson();
    EXPECT_EQ(o.size(), 23);
    EXPECT_EQ(o.value("id").toString(), uuidText(p.id));
    const QJsonDocument reread = QJsonDocument::fromJson(QJsonDocument(o).toJson(QJsonDocument::Compact));
    const auto back = SavedComfortProfile::fromJson(reread.object());
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, p);

    SavedComfortProfile later = p;
    later.createdAt = p.createdAt.addSecs(1);
    EXPECT_NE(later, p);
}

TEST(SavedComfortProfile, PresetValuesCountColourCalmOnlyWhenSwitchedOn)
{
    SavedComfortProfile p = sample();
    EXPECT_EQ(p.presetValues().colorCalm, 0.3);
    EXPECT_EQ(p.presetValues().pwm.threshold, 0.78);
    EXPECT_FALSE(p.presetValues().pwm.enabled);
    p.veil.colorCalmEnabled = false;
    EXPECT_EQ(p.presetValues().colorCalm, 0.0);
}

TEST(SavedComfortProfile, Summary)
{
    SavedComfortProfile p = sample();
    p.tuning.brightness = 0.7;
    p.tuning.warmth = 0.3;
    p.tuning.softWhite = 0.256;
    EXPECT_EQ(p.summary(), "dim, warm, 25% soft whites, veil");
    p.tuning.brightness = 0.75;
    p.tuning.warmth = 0.2;
    p.tuning.softWhite = 0.999;
    p.veil.enabled = false;
    EXPECT_EQ(p.summary(), "bright, clear, 99% soft whites");
    p.tuning.enabled = false;
    EXPECT_EQ(p.summary(), "Neutral display");
}
