#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantList>

#include <memory>

namespace qv::test {

// A D-Bus daemon of the test's own that stands in for both the system and the session
// bus, with python3-dbusmock's services started on it. Only the services a test makes
// activatable are started on demand.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();

    // Whether python3-dbusmock can be run here.
    static bool mockAvailable();

    bool isRunning() const { return m_connection && m_connection->isConnected(); }
    QDBusConnection connection() const { return *m_connection; }
    QString address() const { return m_address; }

    // Starts dbusmock with the arguments ("--template", "upower", ...) and waits until
    // it owns service. Returns false when it does not come up.
    bool startMock(const QString &service, const QStringList &arguments);
    // Starts a Python program of the tests' own that serves service on this bus (as both
    // buses) and waits until it owns the name.
    bool startService(const QString &service, const QString &script, const QStringList &arguments = {});
    // Makes the first call to service start dbusmock with the arguments (as startMock's):
    // the bus starts it on demand from a file in its own services folder.
    bool makeActivatable(const QString &service, const QStringList &arguments);
    // Stops the mock (or service) that owns service and waits until the name is gone.
    void stopMock(const QString &service);

    // Stops the bus daemon itself: every connection to it breaks.
    void stopDaemon();

    // Stops (or lets go on) the mock that owns service: a stopped one keeps its name and
    // answers nothing, as a hanging service does.
    void pauseMock(const QString &service, bool paused);

    // Calls a method and returns the error name (empty on success).
    QString call(const QString &service, const QString &path, const QString &interface, const QString &method,
                 const QVariantList &arguments = {});
    // A property Set through org.freedesktop.DBus.Properties.
    QString setProperty(const QString &service, const QString &path, const QString &interface, const QString &name,
                        const QVariant &value);
    // dbusmock's EmitSignal on the object at path.
    QString emitSignal(const QString &service, const QString &path, const QString &interface, const QString &name,
                       const QString &signature, const QVariantList &arguments);

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    std::unique_ptr<QDBusConnection> m_connection;
    QList<std::pair<QString, QProcess *>> m_mocks;
};

} // namespace qv::test
