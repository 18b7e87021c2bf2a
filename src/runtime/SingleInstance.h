#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace qv {

// Keeps one running copy per user and X display: the copy that holds the lock file (an
// exclusive flock, taken atomically) listens on a local socket; a later launch asks it to
// show its window and then exits. A launch on another X server has a name of its own and
// runs there.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString &name, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the one that runs; false when another copy answered
    // (it has been asked to show itself).
    bool claim();

    // The name for this user and the X server of the display name ($DISPLAY when empty).
    static QString defaultName(const QString &xDisplay = QString());
    // The X server a display name reaches, without the screen: ":0", ":0.0" and "unix:0"
    // give "0", "host:10.0" gives "host-10"; empty when there is no display name.
    static QString xServerKey(const QString &xDisplay);

signals:
    void activationRequested();

private:
    QString lockPath() const;
    bool askRunningCopy();

    QString m_name;
    int m_lock = -1;
    QLocalServer *m_server = nullptr;
};

} // namespace qv
