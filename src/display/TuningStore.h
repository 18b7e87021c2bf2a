#pragma once

#include "runtime/Settings.h"

#include "display/DisplayTuningTarget.h"
#include "display/TuningValues.h"
#include "platform/Types.h"
#include "runtime/Logging.h"
#include "runtime/Scheduler.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QVariant>

#include <optional>

namespace qv {

// The stored tuning values: the all-displays set, one set per display, the tuning target
// being edited (none: all displays), and their keeping in the standard defaults store.
// Changes are saved 250 ms after the last one; a per-display map that could not be read
// in full is kept aside before the first save that would drop it.
class TuningStore : public QObject {
    Q_OBJECT
public:
    static constexpr const char *selectedDisplayIDKey = settings::tuningSelectedDisplayID.key;
    static constexpr const char *perDisplayValuesKey = settings::tuningPerDisplayValues.key;
    // Where a per-display map that could not be read in full is kept before a save drops it.
    static constexpr const char *unreadablePerDisplayValuesKey = settings::tuningUnreadablePerDisplayValues.key;
    static constexpr qint64 persistenceDelayMs = 250;

    ~TuningStore() override;

    // Reads the per-display sets, moving those stored under a display's former id to its
    // monitor's id and those of a twin left alone to its monitor's id, and copying the set
    // of a twin's monitor alone to the first twin without one.
    void load();
    // The displays changed while running: where a monitor's id changed as a twin of it
    // arrived or left, its set (or its having none) and the selection go to its id now; a
    // twin arriving without a set of its own gets its monitor's as at load(). A selected
    // display that is gone leaves the selection as followSelection() says. Returns whether
    // a set or the selection moved.
    bool followDisplays();

    const TuningValues &globalValues() const { return m_globalValues; }
    void setGlobalValues(const TuningValues &values) { m_globalValues = values; }
    const QHash<DisplayId, TuningValues> &displayValues() const { return m_displayValues; }
    // The set a display gets: its own while a display is selected and it has one, else
    // the all-displays set.
    const TuningValues &valuesFor(DisplayId display) const;
    // The set being edited: the selected display's where it has one, else the all-displays set.
    const TuningValues &editedValues() const;
    // Keeps values as the edited set's and restarts the debounced save.
    void storeEdited(const TuningValues &values);
    // Tuning off in every stored set (kept in memory; the caller schedules the save).
    void switchOffAll();
    // No display selected, no per-display sets: both stored at once.
    void reset();

    // ---- the target being edited ----
    std::optional<DisplayId> selectedDisplayID() const { return m_selectedDisplayID; }
    // Selects a target and stores the selection; the set it edits is returned (a display
    // without one gets a copy of the all-displays set, stored at once).
    TuningValues select(std::optional<DisplayId> display);
    // The selection as loaded, its set made when missing; a selected display that is not
    // connected is not selected (see followSelection()).
    void restoreSelection();
    // The selection never names a display that is not connected: the selected display gone,
    // all displays are selected (and stored so), its set is kept, and it is selected again
    // when it comes back, unless a target was chosen meanwhile. Nothing changes while no
    // display is known. Returns whether the selection changed.
    bool followSelection();
    // A target was chosen: a display gone before no longer waits to be selected again.
    void forgetAwaitedDisplay() { m_awaitedDisplayID.reset(); }
    QString selectedTargetId() const;
    // The picker's label for the selection; "All displays" when no target matches.
    QString selectedTargetName() const;
    // "All displays" first, then one entry per display identity; built on every read.
    static QList<DisplayTuningTarget> availableTargets();

    // ---- persistence ----
    void schedulePersistence();
    void persistNow();
    bool isPersistencePending() const { return m_persistenceTask.isActive(); }
    static void saveGlobalValues(const TuningValues &values);
    void savePerDisplayValues();
    // Stores the values a change in progress ends at as the edited set's stored values at
    // once, so that a process killed before the change ends finds them (the in-memory sets
    // are left alone).
    void storeTargetValues(const TuningValues &values);
    static std::optional<DisplayId> savedSelectedDisplayID();
    // The stored values of the edited target: a targeted display's own set where one is
    // stored and the display is connected, else the all-displays values.
    static TuningValues savedSnapshot();
    // The all-displays values as stored ("tuning.brightness" ...), absent ones at their
    // defaults; brightnessStored tells whether a brightness is stored.
    static TuningValues savedGlobalValues(bool *brightnessStored = nullptr);

signals:
    void selectedDisplayIDChanged();

private:
    void setSelectedDisplayID(std::optional<DisplayId> id);
    void writePerDisplayValues(const QHash<DisplayId, TuningValues> &values);
    // Reads "tuning.perDisplayValues" entry by entry; what cannot be read is skipped and
    // logged, and the original data is kept for the next save.
    QHash<DisplayId, TuningValues> loadPerDisplayValues();
    // Values stored under the ids displays had before ids followed the monitor move to
    // the monitor's id, at the first start that finds the display.
    void carryOverFormerDisplayIds();
    // The set and the selection of a monitor's id as a twin on its port go to its id alone
    // where it is alone on that port now.
    bool carryOverTwinSets();
    // Copies the set of a twin's monitor alone to the first of the displays that is its
    // twin and has none; the selection follows. Lones handled already are skipped.
    bool carryOverLoneSets(const QList<DisplayId> &displays, QList<DisplayId> &lones);

    Logger m_log{"DisplayTuning"};
    TuningValues m_globalValues;
    QHash<DisplayId, TuningValues> m_displayValues;
    std::optional<DisplayId> m_selectedDisplayID;
    // The display that was selected when it went, selected again when it comes back.
    std::optional<DisplayId> m_awaitedDisplayID;
    QList<DisplayId> m_knownDisplays; // the active displays at the last look
    TaskHandle m_persistenceTask;
    // The stored "tuning.perDisplayValues" value when it could not be read in full; kept
    // under unreadablePerDisplayValuesKey before the first save that would drop it.
    std::optional<QVariant> m_unreadablePerDisplayData;
};

} // namespace qv
