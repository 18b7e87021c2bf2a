#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace qv {

// Keeps one running copy per user: the copy that holds the lock file (an exclusive
// flock, taken atomically) listens on a local socket; a later launch asks it to show its
// window and then exits.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString &name, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the one that runs; false when another copy answered
    // (it has been asked to show itself).
    bool claim();

    static QString defaultName();

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
