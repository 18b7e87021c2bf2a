#include "runtime/Settings.h"

#include "runtime/StoredSetting.h"
#include "runtime/UserDefaults.h"

#include <gtest/gtest.h>

#include <QSet>

#include <memory>

using namespace qv;

namespace {

const settings::Entry *rowOf(const QString &key)
{
    for (const settings::Entry &row : settings::table())
        if (row.key == key)
            return &row;
    return nullptr;
}

int metaTypeOf(settings::Type type)
{
    switch (type) {
    case settings::Type::boolean: return QMetaType::Bool;
    case settings::Type::integer: return QMetaType::Int;
    case settings::Type::number: return QMetaType::Double;
    case settings::Type::text: return QMetaType::QString;
    default: return QMetaType::UnknownType;
    }
}

// Every row gives a view its default, of the row's type, from a store that holds nothing,
// and registers nothing in the store; no key is listed twice or under another's former name.
TEST(Settings, EveryRowGivesItsDefaultOfItsTypeAndLeavesTheStoreEmpty)
{
    UserDefaults store;
    QSet<QString> keys;
    for (const settings::Entry &row : settings::table()) {
        SCOPED_TRACE(row.key.toStdString());
        EXPECT_FALSE(keys.contains(row.key));
        keys.insert(row.key);
        if (!row.defaultValue.isValid())
            continue; // its reader decides what absence means
        EXPECT_EQ(row.defaultValue.typeId(), metaTypeOf(row.type));
        StoredSetting setting(row.key, row.defaultValue);
        setting.setStore(&store);
        EXPECT_EQ(setting.value(), row.defaultValue);
    }
    for (const settings::Entry &row : settings::table())
        EXPECT_FALSE(!row.formerName.isEmpty() && keys.contains(row.formerName)) << row.formerName.toStdString();
    EXPECT_TRUE(store.storedKeys().isEmpty());
    EXPECT_FALSE(store.object(QString::fromLatin1(settings::appAppearanceMode.key)).isValid());

    // The application's own switches, as the views show them on a first start.
    const struct {
        const char *key;
        QVariant defaultValue;
    } shell[] = {
        {"showBreakTimer", true},          {"appAwareComfortEnabled", false},
        {"batteryAwareDimEnabled", false}, {"appAppearanceMode", QStringLiteral("system")},
        {"launchAtLoginEnabled", true},    {"mainWindow.selectedSection", QStringLiteral("Display & Comfort")},
    };
    for (const auto &row : shell) {
        const settings::Entry *entry = rowOf(QString::fromLatin1(row.key));
        ASSERT_TRUE(entry) << row.key;
        EXPECT_EQ(entry->defaultValue, row.defaultValue) << row.key;
        EXPECT_EQ(entry->defaultValue.typeId(), row.defaultValue.typeId()) << row.key;
    }
}

TEST(Settings, FormerNamesCarryOverOnceAndStay)
{
    const QString key = settings::appAppearanceMode.name();
    const QString former = QString::fromLatin1(settings::appAppearanceMode.formerName);
    const struct {
        const char *name;
        QVariant stored, formerValue, expected;
    } cases[] = {
        {"former on", {}, true, QStringLiteral("dark")},
        {"former off", {}, false, {}},
        {"former not a Boolean", {}, QStringLiteral("yes"), {}},
        {"key already set", QStringLiteral("light"), true, QStringLiteral("light")},
        {"no former value", {}, {}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        UserDefaults store;
        if (c.stored.isValid())
            store.set(key, c.stored);
        if (c.formerValue.isValid())
            store.set(former, c.formerValue);
        settings::migrateFormerNames(store);
        EXPECT_EQ(store.object(key), c.expected);
        EXPECT_EQ(store.object(former), c.formerValue);
    }
}

} // namespace
