// The defaults file as a launch reads it, every stored value read in each typed way, and
// the store written back and read again.
#include "FuzzInput.h"

#include "runtime/UserDefaults.h"

#include <QFile>

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::InputScope input(data, size);
    UserDefaults::decode(input.bytes());

    const QString path = fuzz::InputScope::writeFile(UserDefaults::defaultFilePath(), input.bytes());
    QStringList keys;
    {
        UserDefaults store(path);
        keys = store.storedKeys();
        for (const QString &key : std::as_const(keys)) {
            store.boolValue(key);
            store.doubleValue(key);
            store.integerValue(key);
            store.stringValue(key);
            store.dataValue(key);
            store.dateValue(key);
            store.arrayValue(key);
            store.dictionaryValue(key);
            store.boolForKey(key);
            store.doubleForKey(key);
            store.integerForKey(key);
            store.stringForKey(key);
        }
        store.setBool(QStringLiteral("fuzz.written"), true);
        fuzz::require(store.sync(), "the store writes its file");
    }
    UserDefaults again(path);
    fuzz::require(again.boolValue(QStringLiteral("fuzz.written")) == true, "a written value reads back");
    for (const QString &key : std::as_const(keys))
        fuzz::require(again.hasStoredValue(key), "every value read from the file is still there after a save");
    return 0;
}
