#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace qv {

// Turns the requests to end the process (SIGTERM, SIGINT, SIGHUP) into one call on the
// main thread, so that the process can end through its ordinary quit path instead of
// dying where it stands. One watcher at a time; the handlers return to the system's
// defaults when it goes.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(std::function<void(int signal)> onRequest, QObject *parent = nullptr);
    ~TerminationSignals() override;

    bool isInstalled() const { return m_notifier != nullptr; }

private:
    void drain();

    std::function<void(int)> m_onRequest;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace qv
