#include "display/TuningStore.h"

#include "display/DisplayIdentity.h"
#include "platform/Displays.h"
#include "platform/Platform.h"
#include "runtime/Json.h"
#include "runtime/UserDefaults.h"
#include "runtime/Settings.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace qv {

namespace {

const QString kBrightnessKey = settings::tuningBrightness.name();
const QString kWarmthKey = settings::tuningWarmth.name();
const QString kContrastKey = settings::tuningContrast.name();
const QString kSoftWhiteKey = settings::tuningSoftWhite.name();
const QString kHighlightKey = settings::tuningHighlightCompression.name();
const QString kBloomGuardKey = settings::tuningBloomGuard.name();
const QString kEnabledKey = settings::tuningEnabled.name();
const QString kNightModeKey = settings::tuningNightMode.name();
const QString kNoBlueModeKey = settings::tuningNoBlueMode.name();
const QString kRedModeIntensityKey = settings::tuningRedModeIntensity.name();

QString key(const char *name)
{
    return QString::fromLatin1(name);
}

// Whether a stored selection will name a connected display once load() has carried the
// sets and the selection over to the ids the displays have now; true while no display is
// known.
bool namesConnectedDisplay(DisplayId selected)
{
    Displays *displays = platform().displays;
    const QList<DisplayId> active = displays ? displays->activeDisplays() : QList<DisplayId>();
    if (active.isEmpty())
        return true;
    return std::any_of(active.begin(), active.end(), [&](DisplayId display) {
        return display == selected || displays->formerDisplayId(display) == selected
               || displays->twinDisplayId(display) == selected || displays->loneDisplayId(display) == selected;
    });
}

} // namespace

TuningStore::~TuningStore()
{
    m_persistenceTask.cancel();
}

void TuningStore::load()
{
    m_displayValues = loadPerDisplayValues();
    carryOverFormerDisplayIds();
    if (Displays *displays = platform().displays)
        m_knownDisplays = displays->activeDisplays();
}

bool TuningStore::followDisplays()
{
    Displays *displays = platform().displays;
    if (!displays)
        return false;
    const QList<DisplayId> active = displays->activeDisplays();
    QList<DisplayId> arrived;
    // A twin whose pair was here already takes no set of its monitor's: that one is the
    // other twin's.
    QList<DisplayId> lones;
    for (const DisplayId display : active) {
        if (!m_knownDisplays.contains(display))
            arrived << display;
        else if (const std::optional<DisplayId> lone = displays->loneDisplayId(display))
            lones << *lone;
    }
    m_knownDisplays = active;
    // The monitor's own values, which it showed until now, win over a set kept for its new
    // id from an earlier time.
    bool moved = false, selectionMoved = false;
    for (const DisplayId display : std::as_const(arrived)) {
        const std::optional<DisplayId> previous = displays->previousDisplayId(display);
        if (!previous || *previous == display || active.contains(*previous))
            continue;
        if (const std::optional<DisplayId> lone = displays->loneDisplayId(display))
            lones << *lone;
        if (const auto it = m_displayValues.constFind(*previous); it != m_displayValues.constEnd()) {
            const TuningValues values = *it;
            m_displayValues.insert(display, values);
            // Alone again, the monitor takes its set along: one left under its twin id would
            // be taken for its own again at a start that finds it alone on that port.
            if (!displays->loneDisplayId(display))
                m_displayValues.remove(*previous);
            moved = true;
            m_log.info("Tuning values of display %u follow its monitor to %u", *previous, display);
        } else if (m_displayValues.remove(display)) {
            // It had none: it keeps the all-displays set, not one kept for the id it has now.
            moved = true;
            m_log.info("Display %u had no tuning values of its own; those stored for %u are dropped", *previous,
                       display);
        }
        if (m_selectedDisplayID == *previous) {
            m_log.info("The selected display %u follows its monitor to %u", *previous, display);
            select(display);
            selectionMoved = true;
        } else if (m_awaitedDisplayID == *previous) {
            m_awaitedDisplayID = display;
        }
    }
    const std::optional<DisplayId> selected = m_selectedDisplayID;
    moved = carryOverLoneSets(arrived, lones) || moved;
    if (m_selectedDisplayID != selected)
        selectionMoved = true;
    selectionMoved = followSelection() || selectionMoved;
    if (moved)
        savePerDisplayValues();
    return moved || selectionMoved;
}

// ---- the sets ----

const TuningValues &TuningStore::valuesFor(DisplayId display) const
{
    const auto it = m_selectedDisplayID ? m_displayValues.constFind(display) : m_displayValues.constEnd();
    return it != m_displayValues.constEnd() ? *it : m_globalValues;
}

const TuningValues &TuningStore::editedValues() const
{
    return m_selectedDisplayID ? valuesFor(*m_selectedDisplayID) : m_globalValues;
}

void TuningStore::storeEdited(const TuningValues &values)
{
    if (m_selectedDisplayID)
        m_displayValues.insert(*m_selectedDisplayID, values);
    else
        m_globalValues = values;
    schedulePersistence();
}

void TuningStore::switchOffAll()
{
    m_globalValues.enabled = false;
    for (TuningValues &values : m_displayValues)
        values.enabled = false;
}

void TuningStore::reset()
{
    m_persistenceTask.cancel();
    m_persistenceTask = TaskHandle();
    setSelectedDisplayID(std::nullopt);
    m_awaitedDisplayID.reset();
    m_displayValues.clear();
    savePerDisplayValues();
    UserDefaults::standard().remove(key(selectedDisplayIDKey));
}

// ---- the target being edited ----

void TuningStore::setSelectedDisplayID(std::optional<DisplayId> id)
{
    m_selectedDisplayID = id;
    emit selectedDisplayIDChanged();
}

TuningValues TuningStore::select(std::optional<DisplayId> display)
{
    m_awaitedDisplayID.reset();
    setSelectedDisplayID(display);
    UserDefaults &defaults = UserDefaults::standard();
    if (!display) {
        defaults.remove(key(selectedDisplayIDKey));
        return m_globalValues;
    }
    if (!m_displayValues.contains(*display)) {
        m_displayValues.insert(*display, m_globalValues);
        savePerDisplayValues();
    }
    defaults.setInteger(key(selectedDisplayIDKey), *display);
    return m_displayValues.value(*display, m_globalValues);
}

void TuningStore::restoreSelection()
{
    const auto selected = savedSelectedDisplayID();
    if (!selected)
        return;
    setSelectedDisplayID(selected);
    if (followSelection())
        return;
    if (!m_displayValues.contains(*selected))
        m_displayValues.insert(*selected, m_globalValues);
}

bool TuningStore::followSelection()
{
    Displays *displays = platform().displays;
    const QList<DisplayId> active = displays ? displays->activeDisplays() : QList<DisplayId>();
    if (active.isEmpty())
        return false;
    if (m_selectedDisplayID && !active.contains(*m_selectedDisplayID)) {
        const DisplayId gone = *m_selectedDisplayID;
        m_log.info("The selected display %u is not connected: all displays are selected until it is back", gone);
        select(std::nullopt);
        m_awaitedDisplayID = gone;
        return true;
    }
    if (!m_selectedDisplayID && m_awaitedDisplayID && active.contains(*m_awaitedDisplayID)) {
        m_log.info("The selected display %u is back and selected again", *m_awaitedDisplayID);
        select(*m_awaitedDisplayID);
        return true;
    }
    return false;
}

QString TuningStore::selectedTargetId() const
{
    return m_selectedDisplayID ? QString::number(*m_selectedDisplayID) : QStringLiteral("all");
}

QString TuningStore::selectedTargetName() const
{
    const QString id = selectedTargetId();
    for (const DisplayTuningTarget &target : availableTargets()) {
        if (target.id == id)
            return target.name;
    }
    return DisplayTuningTarget::all().name;
}

QList<DisplayTuningTarget> TuningStore::availableTargets()
{
    QList<DisplayTuningTarget> targets{DisplayTuningTarget::all()};
    for (const DisplayIdentity &identity : DisplayIdentityProvider::shared().identities(false)) {
        if (auto target = DisplayTuningTarget::fromIdentity(identity))
            targets << *target;
    }
    return targets;
}

void TuningStore::carryOverFormerDisplayIds()
{
    Displays *displays = platform().displays;
    if (!displays)
        return;
    UserDefaults &defaults = UserDefaults::standard();
    const std::optional<DisplayId> selected = savedSelectedDisplayID();
    bool moved = false;
    for (const DisplayId display : displays->activeDisplays()) {
        const std::optional<DisplayId> former = displays->formerDisplayId(display);
        if (!former || *former == display)
            continue;
        if (const auto it = m_displayValues.constFind(*former); it != m_displayValues.constEnd()) {
            // Values already stored under the monitor's id are newer than the port's.
            if (!m_displayValues.contains(display))
                m_displayValues.insert(display, *it);
            m_displayValues.remove(*former);
            moved = true;
            m_log.info("Tuning values of display %u now follow its monitor (%u)", *former, display);
        }
        if (selected == *former) {
            defaults.setInteger(key(selectedDisplayIDKey), display);
            m_log.info("The selected display %u now follows its monitor (%u)", *former, display);
        }
    }
    moved = carryOverTwinSets() || moved;
    // Earlier versions gave the first of two twins (monitors told apart by their ports
    // alone) the id its monitor has alone: that set is copied to the first twin without
    // one and stays for the monitor alone; the selection follows that twin.
    QList<DisplayId> lones;
    moved = carryOverLoneSets(displays->activeDisplays(), lones) || moved;
    if (moved)
        savePerDisplayValues();
}

bool TuningStore::carryOverTwinSets()
{
    // A monitor whose twin was unplugged while we did not run is known by its monitor's id
    // again, as when the twin leaves while we run: the set and the selection it had as a
    // twin on its port are its own, and win over a set kept for its monitor alone from an
    // earlier time.
    Displays *displays = platform().displays;
    const QList<DisplayId> active = displays->activeDisplays();
    bool moved = false;
    for (const DisplayId display : active) {
        const std::optional<DisplayId> twin = displays->twinDisplayId(display);
        if (!twin || *twin == display || active.contains(*twin))
            continue;
        if (const auto it = m_displayValues.constFind(*twin); it != m_displayValues.constEnd()) {
            const TuningValues values = *it;
            m_displayValues.insert(display, values);
            m_displayValues.remove(*twin);
            moved = true;
            m_log.info("Tuning values of display %u follow its monitor to %u: no twin of it is connected", *twin,
                       display);
        }
        if (savedSelectedDisplayID() == *twin) {
            UserDefaults::standard().setInteger(key(selectedDisplayIDKey), display);
            m_log.info("The selected display %u follows its monitor to %u: no twin of it is connected", *twin,
                       display);
        }
    }
    return moved;
}

bool TuningStore::carryOverLoneSets(const QList<DisplayId> &displayList, QList<DisplayId> &lones)
{
    Displays *displays = platform().displays;
    bool moved = false;
    for (qsizetype i = 0; i < displayList.size(); ++i) {
        const std::optional<DisplayId> lone = displays->loneDisplayId(displayList[i]);
        if (!lone || *lone == displayList[i] || lones.contains(*lone))
            continue;
        lones << *lone;
        // The first twin without a set of its own takes the monitor's; one that has a set
        // keeps it (the twin that had it came back to its port).
        DisplayId display = displayList[i];
        for (qsizetype j = i; j < displayList.size(); ++j) {
            if (displays->loneDisplayId(displayList[j]) == lone && !m_displayValues.contains(displayList[j])) {
                display = displayList[j];
                break;
            }
        }
        if (const auto it = m_displayValues.constFind(*lone);
            it != m_displayValues.constEnd() && !m_displayValues.contains(display)) {
            const TuningValues values = *it;
            m_displayValues.insert(display, values);
            moved = true;
            m_log.info("Tuning values of display %u are now also those of its twin on its port (%u)", *lone,
                       display);
        }
        // Stored at start, before the selection is restored; made while running.
        if (savedSelectedDisplayID() == *lone) {
            UserDefaults::standard().setInteger(key(selectedDisplayIDKey), display);
            if (m_selectedDisplayID == *lone)
                setSelectedDisplayID(display);
            m_log.info("The selected display %u is now its twin on its port (%u)", *lone, display);
        }
    }
    return moved;
}

// ---- persistence ----

void TuningStore::schedulePersistence()
{
    m_persistenceTask.cancel();
    m_persistenceTask = scheduler().after(persistenceDelayMs, this, [this] { persistNow(); });
}

void TuningStore::persistNow()
{
    m_persistenceTask.cancel();
    m_persistenceTask = TaskHandle();
    saveGlobalValues(m_globalValues);
    savePerDisplayValues();
}

void TuningStore::saveGlobalValues(const TuningValues &values)
{
    UserDefaults &d = UserDefaults::standard();
    d.setDouble(kBrightnessKey, values.brightness);
    d.setDouble(kWarmthKey, values.warmth);
    d.setDouble(kContrastKey, values.contrastReduction);
    d.setDouble(kSoftWhiteKey, values.softWhite);
    d.setDouble(kHighlightKey, values.highlightCompression);
    d.setBool(kBloomGuardKey, values.bloomGuardEnabled);
    d.setBool(kEnabledKey, values.enabled);
    d.setBool(kNightModeKey, values.nightModeEnabled);
    d.setBool(kNoBlueModeKey, values.noBlueModeEnabled);
    d.setDouble(kRedModeIntensityKey, values.redModeIntensity);
}

void TuningStore::savePerDisplayValues()
{
    writePerDisplayValues(m_displayValues);
}

void TuningStore::storeTargetValues(const TuningValues &values)
{
    QHash<DisplayId, TuningValues> map = m_displayValues;
    TuningValues global = m_globalValues;
    // Values with tuning off end in switchOffAllDisplays().
    if (!values.enabled) {
        global.enabled = false;
        for (TuningValues &other : map)
            other.enabled = false;
    }
    if (m_selectedDisplayID)
        map.insert(*m_selectedDisplayID, values);
    else
        global = values;
    saveGlobalValues(global);
    if (map != m_displayValues || m_selectedDisplayID)
        writePerDisplayValues(map);
}

void TuningStore::writePerDisplayValues(const QHash<DisplayId, TuningValues> &values)
{
    UserDefaults &d = UserDefaults::standard();
    QByteArray data;
    if (!values.isEmpty()) {
        QJsonObject map;
        for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
            const TuningValues &v = it.value();
            // JSON has no numbers that are not finite: such a map cannot be encoded.
            for (const double n : {v.brightness, v.warmth, v.contrastReduction, v.softWhite, v.highlightCompression,
                                   v.redModeIntensity}) {
                if (!std::isfinite(n))
                    return;
            }
            map.insert(QString::number(it.key()), v.toJson());
        }
        data = json::encodeCompact(map);
    }
    // This save replaces data that could not be read in full: keep that data aside first.
    if (m_unreadablePerDisplayData) {
        d.set(key(unreadablePerDisplayValuesKey), *m_unreadablePerDisplayData);
        m_log.info("Kept unreadable per-display tuning values under %s", unreadablePerDisplayValuesKey);
        m_unreadablePerDisplayData.reset();
    }
    if (values.isEmpty())
        d.remove(key(perDisplayValuesKey));
    else
        d.setData(key(perDisplayValuesKey), data);
}

QHash<DisplayId, TuningValues> TuningStore::loadPerDisplayValues()
{
    const UserDefaults &d = UserDefaults::standard();
    const QString mapKey = key(perDisplayValuesKey);
    QHash<DisplayId, TuningValues> result;
    if (!d.object(mapKey).isValid())
        return result;

    const std::optional<QByteArray> data = d.dataValue(mapKey);
    if (!data) {
        m_log.error("Could not read %s: not data", perDisplayValuesKey);
        m_unreadablePerDisplayData = d.object(mapKey);
        return result;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(*data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        m_log.error("Could not read %s: %s", perDisplayValuesKey,
                    qUtf8Printable(error.error != QJsonParseError::NoError ? error.errorString()
                                                                           : QStringLiteral("not an object")));
        m_unreadablePerDisplayData = QVariant(*data);
        return result;
    }
    const QJsonObject map = document.object();
    bool lostSome = false;
    for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
        const std::optional<DisplayId> id = DisplayTuningTarget::parseTargetId(it.key()); // nothing for "all"
        const std::optional<TuningValues> values = TuningValues::fromJson(it.value());
        if (!id || !values) {
            m_log.error("Skipped unreadable tuning values for display %s", qUtf8Printable(it.key()));
            lostSome = true;
            continue;
        }
        result.insert(*id, *values);
    }
    if (lostSome)
        m_unreadablePerDisplayData = QVariant(*data);
    return result;
}

std::optional<DisplayId> TuningStore::savedSelectedDisplayID()
{
    const qint64 value = UserDefaults::standard().integerForKey(key(selectedDisplayIDKey));
    if (value < 1 || value > qint64(0xFFFFFFFF))
        return std::nullopt;
    return DisplayId(value);
}

TuningValues TuningStore::savedSnapshot()
{
    // A targeted display's own set is what the editor shows and what the snapshot puts
    // back: the global values would replace that display's (selection and map share
    // their keys, before or after they follow the monitors). A display not connected will
    // not be selected: the editor shows the all-displays values then.
    if (const auto selected = savedSelectedDisplayID(); selected && namesConnectedDisplay(*selected)) {
        const std::optional<QByteArray> data = UserDefaults::standard().dataValue(key(perDisplayValuesKey));
        const QJsonObject map = data ? QJsonDocument::fromJson(*data).object() : QJsonObject();
        if (const auto own = TuningValues::fromJson(map.value(QString::number(*selected))))
            return *own;
    }
    return savedGlobalValues();
}

TuningValues TuningStore::savedGlobalValues(bool *brightnessStored)
{
    const UserDefaults &d = UserDefaults::standard();
    TuningValues s;
    if (brightnessStored)
        *brightnessStored = d.object(kBrightnessKey).isValid();
    s.brightness = d.object(kBrightnessKey).isValid() ? d.doubleForKey(kBrightnessKey) : settings::tuningBrightness.defaultValue;
    s.warmth = d.doubleForKey(kWarmthKey);
    s.contrastReduction = d.doubleForKey(kContrastKey);
    s.softWhite = d.doubleForKey(kSoftWhiteKey);
    s.highlightCompression = d.doubleForKey(kHighlightKey);
    s.bloomGuardEnabled = d.boolForKey(kBloomGuardKey);
    s.enabled = d.boolForKey(kEnabledKey);
    s.nightModeEnabled = d.boolForKey(kNightModeKey);
    s.noBlueModeEnabled = d.boolForKey(kNoBlueModeKey);
    s.redModeIntensity = d.object(kRedModeIntensityKey).isValid() ? d.doubleForKey(kRedModeIntensityKey)
                                                               : settings::tuningRedModeIntensity.defaultValue;
    return s;
}

} // namespace qv
