#pragma once

#include "platform/FontSmoothing.h"
#include "runtime/Logging.h"
#include "runtime/ProcessRunner.h"

#include <QStringList>

#include <deque>
#include <functional>

class QProcess;

namespace qv {

// The desktop's font antialiasing (GNOME's "org.gnome.desktop.interface font-antialiasing")
// as the font-smoothing switch: disabled is "none"; switching back gives the user's own kind
// of smoothing ("grayscale" when theirs was "none"). Every command is a "gsettings" child
// process that runs while the event loop goes on; the operations run one after another.
//
// What the desktop had before a switch of ours is kept in a file of the application-support
// folder, written before the desktop is touched, with every value of ours the desktop may
// hold: a run killed at any point leaves the next start enough to put the user's value back
// (done at construction), and a value someone else set since is never overwritten. A value
// the user sets while this runs (heard from "gsettings monitor") becomes theirs to keep.
// The desktop is put back when the object goes.
class GsettingsFontSmoothing final : public FontSmoothing {
    Q_OBJECT
public:
    static inline const QString kProgram = QStringLiteral("gsettings");
    static inline const QString kSchema = QStringLiteral("org.gnome.desktop.interface");
    static inline const QString kKey = QStringLiteral("font-antialiasing");
    static inline const QString kKeptValueFile = QStringLiteral("desktop-font-antialiasing.json");
    // How long one command may run before it is taken as failed.
    static constexpr int kTimeoutMs = 5000;

    // program: the command to run in place of "gsettings".
    explicit GsettingsFontSmoothing(const QString &program = kProgram, QObject *parent = nullptr);
    // Puts the desktop back (restoreNow()).
    ~GsettingsFontSmoothing() override;

    bool isAvailable() const override { return m_available; }
    void read(Done done) override;
    void write(bool disabled, Done done) override;

    // Puts back the desktop's own value where a switch of ours holds it, waiting for the
    // commands; what is queued is dropped. The application ends.
    void restoreNow();
    // Whether no operation is queued or running.
    bool isIdle() const { return !m_busy && m_jobs.empty(); }
    QString keptValuePath() const;
    // Called at each step of a write ("keep", "set", "read back", "kept", "done").
    void setStepObserver(std::function<void(const char *step)> observer) { m_stepObserver = std::move(observer); }

private:
    struct Kept {
        QString original;  // the user's value
        QStringList ours;  // values of ours the desktop may hold
    };
    struct Reading {
        std::optional<QString> value;
        QString failure;
    };
    using Job = std::function<void()>;

    void enqueue(Job job);
    void finishJob();
    void run(const QStringList &arguments, std::function<void(const ProcessResult &)> then);
    void get(std::function<void(const Reading &)> then);
    void restore();
    // Takes note of the value the desktop holds: one that is not ours while a switch of ours
    // is kept is the user's, and nothing is put back any more.
    void note(const QString &value);
    std::optional<Kept> kept();
    bool keep(const Kept &kept, QString *failure);
    void forget();
    void step(const char *name);
    void startMonitor();
    void monitorOutput();
    void setAvailable(bool available);

    QString m_program;
    bool m_available = false;
    bool m_unavailableReported = false;
    std::optional<QString> m_lastKnown;
    std::deque<Job> m_jobs;
    bool m_busy = false;
    bool m_synchronous = false; // restoreNow(): the commands are waited for
    bool m_checkQueued = false;
    QProcess *m_monitor = nullptr;
    QList<QProcess *> m_running;
    std::function<void(const char *)> m_stepObserver;
    Logger m_log{"FontSmoothing"};
};

} // namespace qv
