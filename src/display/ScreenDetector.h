#pragma once

#include "platform/Types.h"
#include "runtime/Scheduler.h"

#include <QObject>

#include <atomic>
#include <memory>

namespace qv {

class DisplayEngine;

// Re-applies the stored protection switches after the display set changes: the platform's
// reconfiguration callback (from any thread) is forwarded to the main thread, where each
// triggering event restarts a 1.5 s one-shot; when it fires, dithering, uniformity and the
// PWM-safe dimming are applied again. One detector lives for the whole process.
class ScreenDetector : public QObject {
    Q_OBJECT
    Q_PROPERTY(int displayChangeCount READ displayChangeCount NOTIFY displayChangeCountChanged)
public:
    // Mode set, add, remove, enable, disable, mirror, unmirror, desktop shape changed.
    static constexpr quint32 kReconfigurationMask = 0x1f38;
    static constexpr qint64 kDebounceMs = 1500;

    explicit ScreenDetector(DisplayEngine &engine, QObject *parent = nullptr);
    ~ScreenDetector() override;

    // Registers for the platform's display-reconfiguration callbacks. The registration is
    // never removed; once the detector is gone it ignores what arrives.
    void registerForReconfiguration();

    // The callback itself: hands the flags to the detector; a missing detector is ignored.
    static void displayReconfigurationCallback(DisplayId display, quint32 flags, ScreenDetector *detector);
    // Any thread: a triggering event queues scheduleReapply() on the main thread.
    void handleReconfiguration(quint32 flags);
    // Main thread: (re)starts the 1.5 s wait.
    void scheduleReapply();
    // Main thread: dithering for all framebuffers, uniformity for the built-in ones, a fresh
    // display list, then (on a later turn) the PWM floor and the display tuning.
    Q_INVOKABLE void reapplyAllSettings();

    int displayChangeCount() const { return m_displayChangeCount; }
    DisplayEngine &engine() const { return m_engine; }
    bool isReapplyPending() const { return m_debounceTimer.isActive(); }

signals:
    void displayChangeCountChanged();

private:
    TaskHandle m_debounceTimer;
    DisplayEngine &m_engine;
    int m_displayChangeCount = 0;
    bool m_registered = false;
    // The detector while it lives, for callbacks that arrive on other threads.
    std::shared_ptr<std::atomic<ScreenDetector *>> m_self = std::make_shared<std::atomic<ScreenDetector *>>(this);
};

} // namespace qv
