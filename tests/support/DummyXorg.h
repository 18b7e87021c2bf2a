#pragma once

#include <QPoint>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace qv::test {

// An X server of a test's own with Debian's dummy video driver: several outputs
// (DUMMY0..DUMMY15), one CRTC each with its own gamma ramp, RandR as real drivers offer
// it. Started as root on a free display number (Xorg -displayfd), without resetting when
// its last client leaves; stopped with the object.
class DummyXorg {
public:
    DummyXorg();
    ~DummyXorg();

    bool isRunning() const { return !m_display.isEmpty(); }
    // ":N"
    const QString &display() const { return m_display; }
    // Why it did not start.
    const QString &failure() const { return m_failure; }
    // Lights the output with a mode of the given size at a position of the screen, without
    // probing the outputs (as "xrandr --current"): an output's connection state stays what
    // the last probe found.
    bool enable(const QString &output, const QString &mode, QPoint position);
    // Switches the output off.
    bool disable(const QString &output);
    // Runs xrandr with the arguments against this server; its exit status.
    int xrandr(const QStringList &arguments);

private:
    QTemporaryDir m_folder;
    QProcess m_server;
    QString m_display;
    QString m_failure;
};

} // namespace qv::test
