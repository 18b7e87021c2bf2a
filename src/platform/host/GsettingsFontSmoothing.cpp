#include "platform/host/GsettingsFontSmoothing.h"

#include "runtime/Files.h"
#include "runtime/Scheduler.h"
#include "runtime/TextDecoding.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QProcess>

#include <csignal>
#include <memory>

#include <sys/prctl.h>

namespace qv {

namespace {

const QString kNone = QStringLiteral("none");
const QString kGrayscale = QStringLiteral("grayscale");
const QString kOriginalField = QStringLiteral("original");
const QString kOursField = QStringLiteral("ours");
const QString kWrittenField = QStringLiteral("written"); // the file of earlier versions

bool isKnownValue(const QString &value)
{
    return value == kNone || value == kGrayscale || value == QLatin1String("rgba");
}

// The value "gsettings get" printed: an enumeration prints as its quoted name ('grayscale').
std::optional<QString> printedValue(const QByteArray &output, QString *failure)
{
    const std::optional<QString> text = text::decodeUtf8(output);
    if (!text) {
        *failure = QStringLiteral("a value that is not UTF-8");
        return std::nullopt;
    }
    QString value = text->trimmed();
    if (value.size() >= 2 && value.startsWith(QLatin1Char('\'')) && value.endsWith(QLatin1Char('\'')))
        value = value.mid(1, value.size() - 2);
    if (!isKnownValue(value)) {
        *failure = QStringLiteral("an unknown value \"%1\"").arg(value.left(80));
        return std::nullopt;
    }
    return value;
}

} // namespace

GsettingsFontSmoothing::GsettingsFontSmoothing(const QString &program, QObject *parent)
    : FontSmoothing(parent), m_program(program)
{
    // A run that ended without putting the desktop back left its switch in place.
    if (QFile::exists(keptValuePath()))
        enqueue([this] { restore(); });
}

GsettingsFontSmoothing::~GsettingsFontSmoothing()
{
    restoreNow();
    delete m_monitor;
}

QString GsettingsFontSmoothing::keptValuePath() const
{
    return QDir(files::applicationSupportDirectory()).filePath(kKeptValueFile);
}

// ---- running one operation after another ----

void GsettingsFontSmoothing::enqueue(Job job)
{
    m_jobs.push_back(std::move(job));
    if (!m_busy)
        finishJob();
}

void GsettingsFontSmoothing::finishJob()
{
    m_busy = false;
    if (m_jobs.empty() || m_synchronous)
        return;
    Job job = std::move(m_jobs.front());
    m_jobs.pop_front();
    m_busy = true;
    job();
}

void GsettingsFontSmoothing::run(const QStringList &arguments, std::function<void(const ProcessResult &)> then)
{
    if (m_synchronous) {
        then(ProcessRunner::run(m_program, arguments, kTimeoutMs));
        return;
    }
    auto *process = new QProcess(this);
    process->setProgram(m_program);
    process->setArguments(arguments);
    // A command of a process that is killed goes with it.
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_running << process;
    auto answered = std::make_shared<bool>(false);
    const auto answer = [this, process, answered, then](const ProcessResult &result) {
        if (*answered)
            return;
        *answered = true;
        m_running.removeOne(process);
        process->deleteLater();
        if (!m_synchronous) // restoreNow() took over
            then(result);
    };
    connect(process, &QProcess::finished, this, [process, answer](int exitCode, QProcess::ExitStatus status) {
        ProcessResult result;
        result.started = true;
        result.exitCode = exitCode;
        result.crashed = status == QProcess::CrashExit;
        result.standardOutput = process->readAllStandardOutput();
        result.standardError = process->readAllStandardError();
        answer(result);
    });
    connect(process, &QProcess::errorOccurred, this, [process, answer](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        ProcessResult result;
        result.errorText = process->errorString();
        answer(result);
    });
    scheduler().after(kTimeoutMs, process, [process, answer] {
        ProcessResult result;
        result.started = true;
        result.timedOut = true;
        process->kill();
        answer(result);
    });
    process->start();
}

void GsettingsFontSmoothing::get(std::function<void(const Reading &)> then)
{
    run({QStringLiteral("get"), kSchema, kKey}, [this, then](const ProcessResult &result) {
        Reading reading;
        if (!result.succeeded())
            reading.failure = result.failure();
        else
            reading.value = printedValue(result.standardOutput, &reading.failure);
        if (reading.value) {
            setAvailable(true);
            startMonitor();
        }
        then(reading);
    });
}

void GsettingsFontSmoothing::step(const char *name)
{
    if (m_stepObserver)
        m_stepObserver(name);
}

// ---- the kept file ----

std::optional<GsettingsFontSmoothing::Kept> GsettingsFontSmoothing::kept()
{
    const files::StoredFile stored = files::readStoredFile(keptValuePath());
    if (stored.state == files::StoredFile::State::absent)
        return std::nullopt;
    const QJsonObject object = QJsonDocument::fromJson(stored.bytes).object();
    Kept kept;
    kept.original = object.value(kOriginalField).toString();
    for (const QJsonValue &value : object.value(kOursField).toArray())
        if (isKnownValue(value.toString()))
            kept.ours << value.toString();
    if (const QString written = object.value(kWrittenField).toString(); isKnownValue(written))
        kept.ours << written;
    if (!isKnownValue(kept.original)) {
        // Nothing in it says what to put back.
        m_log.error("Ignoring the kept font antialiasing value: the file cannot be read");
        QFile::remove(keptValuePath());
        return std::nullopt;
    }
    return kept;
}

bool GsettingsFontSmoothing::keep(const Kept &kept, QString *failure)
{
    const QJsonObject object{{kOriginalField, kept.original}, {kOursField, QJsonArray::fromStringList(kept.ours)}};
    return files::writeAtomically(keptValuePath(), QJsonDocument(object).toJson(QJsonDocument::Compact), failure);
}

void GsettingsFontSmoothing::forget()
{
    QFile::remove(keptValuePath());
}

void GsettingsFontSmoothing::note(const QString &value)
{
    m_lastKnown = value;
    const std::optional<Kept> held = kept();
    if (!held || held->ours.contains(value))
        return;
    forget();
    if (value != held->original)
        m_log.info("Font antialiasing was set to %s outside Quellvista; it stays", qUtf8Printable(value));
}

// ---- operations ----

void GsettingsFontSmoothing::setAvailable(bool available)
{
    if (available == m_available)
        return;
    m_available = available;
    emit availableChanged();
}

void GsettingsFontSmoothing::read(Done done)
{
    if (!done)
        done = [](const Outcome &) {};
    enqueue([this, done] {
        get([this, done](const Reading &reading) {
            Outcome outcome;
            if (!reading.value) {
                if (!m_unavailableReported) {
                    m_unavailableReported = true;
                    m_log.error("Font smoothing cannot be switched on this desktop: %s",
                                qUtf8Printable(reading.failure));
                }
                setAvailable(false);
                outcome.unavailable = true;
                outcome.failure = reading.failure;
            } else {
                note(*reading.value);
                outcome.succeeded = true;
                outcome.disabled = *reading.value == kNone;
            }
            done(outcome);
            finishJob();
        });
    });
}

void GsettingsFontSmoothing::write(bool disabled, Done done)
{
    if (!done)
        done = [](const Outcome &) {};
    enqueue([this, disabled, done] {
        const auto finish = [this, done](Outcome outcome) {
            step("done");
            done(outcome);
            finishJob();
        };
        get([this, disabled, finish](const Reading &current) {
            Outcome outcome;
            if (!current.value) {
                outcome.unavailable = !m_available;
                outcome.failure = current.failure;
                return finish(outcome);
            }
            note(*current.value);
            outcome.disabled = *current.value == kNone;
            if (*outcome.disabled == disabled) { // so already
                outcome.succeeded = true;
                return finish(outcome);
            }
            const std::optional<Kept> held = kept();
            const QString original = held ? held->original : *current.value;
            const QString target = disabled ? kNone : (original != kNone ? original : kGrayscale);
            // First what is to be put back, with every value of ours the desktop may hold
            // from now on; only then the desktop.
            step("keep");
            Kept intent{original, held ? held->ours : QStringList()};
            if (!intent.ours.contains(target))
                intent.ours << target;
            QString failure;
            if (!keep(intent, &failure)) {
                outcome.failure = QStringLiteral("the desktop's value cannot be kept (%1)").arg(failure);
                return finish(outcome);
            }
            run({QStringLiteral("set"), kSchema, kKey, target}, [this, target, original, finish](const ProcessResult &set) {
                step("read back");
                get([this, target, original, set, finish](const Reading &back) {
                    Outcome outcome;
                    if (back.value) {
                        m_lastKnown = back.value;
                        outcome.disabled = *back.value == kNone;
                    }
                    step("kept");
                    if (back.value == target) {
                        QString failure;
                        if (target == original)
                            forget(); // the desktop is as the user had it
                        else if (!keep({original, {target}}, &failure))
                            m_log.error("The kept font antialiasing value was not narrowed: %s", qUtf8Printable(failure));
                        outcome.succeeded = outcome.wrote = true;
                        return finish(outcome);
                    }
                    if (back.value == original)
                        forget(); // nothing of ours is on the desktop
                    outcome.notKept = back.value.has_value();
                    outcome.failure = back.value ? QStringLiteral("the desktop did not keep %1 (it holds %2)").arg(target, *back.value)
                                                 : QStringLiteral("it cannot be read back: %1").arg(back.failure);
                    if (!set.succeeded())
                        outcome.failure += QStringLiteral("; %1").arg(set.failure());
                    finish(outcome);
                });
            });
            step("set");
        });
    });
}

void GsettingsFontSmoothing::restore()
{
    const std::optional<Kept> held = kept();
    if (!held)
        return finishJob();
    get([this, held](const Reading &current) {
        if (!current.value) {
            m_log.error("Could not put back the desktop's font antialiasing: %s", qUtf8Printable(current.failure));
            return finishJob(); // kept for the next start
        }
        m_lastKnown = current.value;
        // A value the user chose since (none of ours) is theirs to keep.
        if (*current.value == held->original || !held->ours.contains(*current.value)) {
            forget();
            if (*current.value != held->original)
                m_log.info("Font antialiasing was set to %s outside Quellvista; it stays", qUtf8Printable(*current.value));
            return finishJob();
        }
        run({QStringLiteral("set"), kSchema, kKey, held->original}, [this, held](const ProcessResult &set) {
            get([this, held, set](const Reading &back) {
                if (back.value == held->original) {
                    m_lastKnown = back.value;
                    forget();
                    m_log.info("Font antialiasing put back to %s", qUtf8Printable(held->original));
                    if (!m_synchronous)
                        emit changedElsewhere(held->original == kNone);
                } else {
                    m_log.error("Could not put back the desktop's font antialiasing: %s",
                                qUtf8Printable(back.value ? QStringLiteral("it holds %1").arg(*back.value)
                                                          : (set.succeeded() ? back.failure : set.failure())));
                }
                finishJob();
            });
        });
    });
}

void GsettingsFontSmoothing::restoreNow()
{
    if (m_synchronous)
        return;
    m_synchronous = true;
    m_jobs.clear();
    // A command under way finishes first (its answer is dropped): the kept file says
    // what it may have done.
    const QList<QProcess *> running = m_running;
    for (QProcess *process : running)
        process->waitForFinished(kTimeoutMs);
    if (m_monitor) {
        m_monitor->kill();
        m_monitor->waitForFinished(1000);
    }
    if (QFile::exists(keptValuePath()))
        restore();
    m_busy = false;
}

// ---- changes made elsewhere ----

void GsettingsFontSmoothing::startMonitor()
{
    if (m_synchronous || (m_monitor && m_monitor->state() != QProcess::NotRunning))
        return;
    if (!m_monitor) {
        m_monitor = new QProcess(this);
        m_monitor->setProgram(m_program);
        m_monitor->setArguments({QStringLiteral("monitor"), kSchema, kKey});
        m_monitor->setStandardErrorFile(QProcess::nullDevice());
        m_monitor->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        connect(m_monitor, &QProcess::readyReadStandardOutput, this, &GsettingsFontSmoothing::monitorOutput);
    }
    // Started again at the next reading when it ended.
    m_monitor->start();
}

void GsettingsFontSmoothing::monitorOutput()
{
    // Each line says the key changed; the value is read in turn with the other operations,
    // so that a write of ours in between is not taken for someone else's.
    m_monitor->readAllStandardOutput();
    if (m_checkQueued)
        return;
    m_checkQueued = true;
    enqueue([this] {
        m_checkQueued = false;
        const std::optional<QString> before = m_lastKnown;
        get([this, before](const Reading &reading) {
            if (reading.value && reading.value != before) {
                note(*reading.value);
                emit changedElsewhere(*reading.value == kNone);
            }
            finishJob();
        });
    });
}

} // namespace qv
