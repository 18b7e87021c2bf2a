#include "FuzzInput.h"

#include "platform/Platform.h"
#include "runtime/Files.h"
#include "runtime/Shared.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace qv::fuzz {

namespace {

void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg)
        std::fprintf(stderr, "fatal: %s\n", qUtf8Printable(message));
}

// Made once per process, kept until it exits.
struct Process {
    Process()
    {
        if (qEnvironmentVariableIntValue("QV_FUZZ_LOG") == 0)
            qInstallMessageHandler(quietMessages);
        static int argc = 1;
        static char name[] = "quellvista-fuzz";
        static char *argv[] = {name, nullptr};
        app = new QCoreApplication(argc, argv);
        if (!scratch.isValid()) {
            std::fprintf(stderr, "fuzz: no scratch folder: %s\n", qUtf8Printable(scratch.errorString()));
            std::abort();
        }
        root = scratch.path() + QStringLiteral("/root");
    }
    // Left alive at exit: Qt's own globals may be gone by the time it would be destroyed.
    QCoreApplication *app;
    QTemporaryDir scratch{QDir::tempPath() + QStringLiteral("/quellvista-fuzz-XXXXXX")};
    QString root;
};

Process &process()
{
    static Process p;
    return p;
}

} // namespace

InputScope::InputScope(const uint8_t *data, size_t size)
    : m_bytes(reinterpret_cast<const char *>(data), qsizetype(size))
{
    Process &p = process();
    QDir(p.root).removeRecursively();
    QDir().mkpath(p.root);
    files::setRootOverride(p.root);
    m_clock = std::make_unique<VirtualScheduler>();
    Scheduler::setCurrent(m_clock.get());
    m_defaults = std::make_unique<UserDefaults>();
    UserDefaults::setStandard(m_defaults.get());
    m_mac = SimulatedMac::standard();
    installSimulatedMac(m_mac.get());
}

InputScope::~InputScope()
{
    resetSharedInstances();
    installSimulatedMac(nullptr);
    m_mac.reset();
    UserDefaults::setStandard(nullptr);
    m_defaults.reset();
    Scheduler::setCurrent(nullptr);
    m_clock.reset();
    files::setRootOverride(QString());
}

QJsonObject InputScope::jsonObject() const
{
    return QJsonDocument::fromJson(m_bytes).object();
}

void InputScope::useMachine(std::unique_ptr<SimulatedMac> machine)
{
    resetSharedInstances();
    m_mac = std::move(machine);
    installSimulatedMac(m_mac.get());
}

QString InputScope::writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "fuzz: cannot write %s\n", qUtf8Printable(path));
        std::abort();
    }
    return path;
}

void require(bool holds, const char *what)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz: broken: %s\n", what);
    std::abort();
}

} // namespace qv::fuzz
