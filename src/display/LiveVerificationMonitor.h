#pragma once

#include "display/LiveVerificationSnapshot.h"
#include "runtime/Scheduler.h"

#include <QObject>

namespace qv {

class DisplayEngine;

// Reads back what the framebuffer registry really holds (`enableDither`, `uniformity2D`)
// every 2 s while it exists, pairs the services with the screens and display identities,
// and publishes the result as `snapshot`. Owned by the view that shows it.
class LiveVerificationMonitor : public QObject {
    Q_OBJECT
    Q_PROPERTY(qv::LiveVerificationSnapshot snapshot READ snapshot NOTIFY snapshotChanged)
public:
    // Checks at once, then every 2 s.
    explicit LiveVerificationMonitor(DisplayEngine &engine, QObject *parent = nullptr);
    ~LiveVerificationMonitor() override;

    const LiveVerificationSnapshot &snapshot() const { return m_snapshot; }
    DisplayEngine &engine() const { return m_engine; }

    // Replaces the timer with one of the given interval (seconds).
    void startMonitoring(double interval);
    // Builds a snapshot and publishes it when it differs from the current one.
    Q_INVOKABLE void refresh();
    LiveVerificationSnapshot buildSnapshot() const;

signals:
    void snapshotChanged();

private:
    LiveVerificationSnapshot m_snapshot;
    TaskHandle m_timer;
    DisplayEngine &m_engine;
};

} // namespace qv
