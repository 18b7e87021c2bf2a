#pragma once

#include <QString>
#include <QStringList>

namespace qv::test {

// Writes into dir the configuration of a session bus for one test (a copy of
// tests/support/session-bus.conf) and beside it the folder "services" with the named
// services' files from /usr/share/dbus-1/services: a bus run from it (dbus-daemon
// --config-file) starts on demand those and nothing else the desktop offers. Returns the
// configuration's path, or an empty string when a file could not be copied.
QString writeSessionBusConfig(const QString &dir, const QStringList &services = {});

} // namespace qv::test
