#pragma once

#include "display/DisplayInfo.h"
#include "display/PipelineSnapshot.h"
#include "runtime/Scheduler.h"
#include "runtime/Settings.h"

#include <QDateTime>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QUuid>
#include <QVariantList>

#include <optional>

namespace qv {

class DisplayEngine;
class FontSmoothingController;

// One difference of the pipeline from the comfortable baseline.
struct PipelineDriftItem {
    Q_GADGET
    Q_PROPERTY(QString title MEMBER title CONSTANT)
    Q_PROPERTY(QString detail MEMBER detail CONSTANT)
    Q_PROPERTY(int severity READ severityValue CONSTANT)
public:
    enum class Severity { notice, warning, important };

    QUuid id; // new for every item
    Severity severity = Severity::notice;
    QString title;
    QString detail;

    bool operator==(const PipelineDriftItem &) const = default;
    int severityValue() const { return int(severity); }
};

// Watches the display pipeline: re-reads it after the events that can change it (the
// display list, the screen parameters, the screens waking, the front application),
// publishes the snapshot and its differences from the comfortable baseline, and while the
// guard is on puts the baseline back. The baseline and the guard switch are only read
// ("pipeline.comfortableBaseline", "pipeline.guardEnabled").
class PipelineMonitor : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool hasCurrentSnapshot READ hasCurrentSnapshot NOTIFY currentSnapshotChanged)
    Q_PROPERTY(bool hasBaseline READ hasBaseline NOTIFY baselineChanged)
    Q_PROPERTY(QVariantList driftItems READ driftItemsList NOTIFY driftItemsChanged)
    Q_PROPERTY(QDateTime lastCheckedAt READ lastCheckedAt NOTIFY lastCheckedAtChanged)
    Q_PROPERTY(bool guardEnabled READ guardEnabled NOTIFY guardEnabledChanged)
public:
    static inline const QString kBaselineKey = settings::pipelineComfortableBaseline.name();
    static inline const QString kGuardKey = settings::pipelineGuardEnabled.name();
    // Requests closer together than this make one refresh.
    static constexpr qint64 kRefreshDelayMs = 180;
    static constexpr qint64 kDisplayListDebounceMs = 300;
    static constexpr qint64 kFrontApplicationDebounceMs = 1000;

    // Reads the stored baseline (nothing when absent or unreadable).
    PipelineMonitor();
    ~PipelineMonitor() override;

    static PipelineMonitor &shared();

    const std::optional<PipelineSnapshot> &currentSnapshot() const { return m_currentSnapshot; }
    const std::optional<PipelineSnapshot> &baseline() const { return m_baseline; }
    void setBaseline(const std::optional<PipelineSnapshot> &baseline);
    const QList<PipelineDriftItem> &driftItems() const { return m_driftItems; }
    QVariantList driftItemsList() const;
    QDateTime lastCheckedAt() const { return m_lastCheckedAt; }
    bool hasCurrentSnapshot() const { return m_currentSnapshot.has_value(); }
    bool hasBaseline() const { return m_baseline.has_value(); }
    // Read from the stored setting each time.
    bool guardEnabled() const;

    // Remembers both (weakly) and subscribes afresh to the triggers, replacing earlier
    // subscriptions. The display list's current value counts as its first change.
    void configure(DisplayEngine *engine, FontSmoothingController *fontSmoothing);
    // A delayed refresh; requests within the delay make one, with the last reason.
    void scheduleRefresh(const QString &reason);
    // Re-reads the displays and font smoothing, captures, compares with the baseline and,
    // with the guard on, restores (never for the reason "restore").
    void refresh(const QString &reason);
    // The pipeline as the models publish it now; asks nothing to re-read the system.
    PipelineSnapshot captureSnapshot() const;
    static PipelineDisplaySnapshot displaySnapshot(const DisplayInfo &info);
    static QList<PipelineDriftItem> driftItems(const PipelineSnapshot &current,
                                               const std::optional<PipelineSnapshot> &baseline);
    // Puts the baseline's protections, PWM-safe settings and tuning back.
    void restoreBaseline();

    // How many refreshes have run (for observers that count work, such as benchmarks).
    int refreshCount() const { return m_refreshCount; }
    // Why the latest refresh ran.
    QString lastRefreshReason() const { return m_lastRefreshReason; }

signals:
    void currentSnapshotChanged();
    void baselineChanged();
    void driftItemsChanged();
    void lastCheckedAtChanged();
    void guardEnabledChanged();

private:
    void disconnectTriggers();
    void displayListPublished();
    // Starts (or restarts) one trigger's debounce.
    void debounce(TaskHandle &task, qint64 delayMs, const QString &reason);

    std::optional<PipelineSnapshot> m_currentSnapshot;
    std::optional<PipelineSnapshot> m_baseline;
    QList<PipelineDriftItem> m_driftItems;
    QDateTime m_lastCheckedAt;
    QPointer<DisplayEngine> m_engine;
    QPointer<FontSmoothingController> m_fontSmoothing;
    QList<QMetaObject::Connection> m_connections;
    // The display list last seen by the trigger, field by field; nothing before the first.
    std::optional<QList<DisplayInfo>> m_seenDisplays;
    TaskHandle m_displayListDebounce;
    TaskHandle m_frontApplicationDebounce;
    TaskHandle m_refreshTask;
    int m_refreshCount = 0;
    QString m_lastRefreshReason;
};

} // namespace qv
