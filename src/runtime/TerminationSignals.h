#pragma once

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace qv {

// Turns the requests to end the process (SIGTERM, SIGINT, SIGHUP) into one call on the
// main thread, so that the process can end through its ordinary quit path instead of
// dying where it stands. One watcher at a time; the handlers return to the system's
// defaults when it goes.
//
// A main thread that does not take a request within `grace` (its event loop is flooded
// or stuck) does not keep the process alive: a thread of the watcher's own then calls
// onStuck(signal), which is to end or replace the process and may use nothing the main
// thread owns (should it return, the watch ends). Without onStuck, the process ends as
// the signal's default would end it.
// The watching thread sleeps in a read until a signal comes: it costs nothing at idle.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kGrace{750};

    explicit TerminationSignals(std::function<void(int signal)> onRequest, QObject *parent = nullptr);
    TerminationSignals(std::function<void(int signal)> onRequest, std::function<void(int signal)> onStuck,
                       std::chrono::milliseconds grace = kGrace, QObject *parent = nullptr);
    ~TerminationSignals() override;

    bool isInstalled() const { return m_notifier != nullptr; }

    // What onStuck does when none is given: the signal's default action, now.
    [[noreturn]] static void endAsSignalled(int signal);

private:
    struct Watchdog;
    void drain();

    std::function<void(int)> m_onRequest;
    QSocketNotifier *m_notifier = nullptr;
    std::unique_ptr<Watchdog> m_watchdog;
};

} // namespace qv
