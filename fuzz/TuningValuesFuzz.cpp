// The per-display tuning values ("tuning.perDisplayValues": JSON data of display ID to
// value set) as display tuning reads them at launch with display 1 selected, applied to the
// displays, edited through the target picker, saved and read again.
#include "FuzzInput.h"

#include "display/DisplayTuning.h"
#include "display/TuningValues.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::InputScope input(data, size);
    for (const QJsonValue &value : input.jsonObject())
        if (const auto values = TuningValues::fromJson(value))
            fuzz::require(TuningValues::fromJson(values->toJson()) == values, "a value set's record reads back");

    input.defaults().setData(TuningStore::perDisplayValuesKey, input.bytes());
    input.defaults().setInteger(TuningStore::selectedDisplayIDKey, 1);
    QHash<DisplayId, TuningValues> saved;
    {
        DisplayTuning tuning;
        tuning.setEnabled(true);
        for (const DisplayTuningTarget &target : tuning.availableTargets())
            tuning.selectTarget(target.id);
        tuning.selectTarget(QStringLiteral("1"));
        tuning.persistNow();
        saved = tuning.displayValues();
    }
    DisplayTuning again;
    fuzz::require(again.displayValues() == saved, "per-display values read back as saved");
    return 0;
}
