#pragma once

#include "platform/host/GammaRamp.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace qv::test {

// The small Wayland compositor with wlroots gamma control and idle notifications
// (tests/support/wayland) for one test, on a socket in a runtime folder of its own. Commands wait for their answer; each
// runs after what clients sent before it.
class WaylandTestCompositor {
public:
    // options: the compositor's (--no-gamma, --output-version N)
    explicit WaylandTestCompositor(const QStringList &options = {});
    ~WaylandTestCompositor();

    bool isRunning() const { return !m_socket.isEmpty(); }
    // The socket's absolute path (for WaylandConnection or $WAYLAND_DISPLAY).
    QString socketPath() const { return m_socket; }
    QString runtimeDir() const { return m_runtime.path(); }

    // An output with ramps of size entries; make, model and serial (no spaces) go to its head.
    void addOutput(const QString &name, int size, const QString &make = {}, const QString &model = {},
                   const QString &serial = {});
    void removeOutput(const QString &name);
    // Sends failed to the output's control.
    void failControl(const QString &name);

    struct Shown {
        int writes = 0;    // ramps set since the output was added
        bool held = false; // a control holds the output
        GammaRamp ramp;    // what the output shows: linear until a ramp is set, and again after
    };
    Shown shown(const QString &name);
    // How many gamma controls clients asked for on the output.
    int controlRequests(const QString &name);
    // The idle notifications clients asked for (their timeouts in ms).
    QList<quint32> idleTimeouts();
    // The seat idles (or is active again): every idle notification says so.
    void setIdle(bool idle);
    // The idle notifier global goes.
    void withdrawIdleNotifier();

    // The compositor dies at once: every client's socket closes.
    void kill();
    // The compositor stops (reads nothing, answers nothing) or goes on.
    void freeze(bool frozen);

    // One line in, one line out; empty when the compositor does not answer.
    QString command(const QString &line);

private:
    QTemporaryDir m_runtime;
    std::unique_ptr<QProcess> m_process;
    QString m_socket;
};

} // namespace qv::test
