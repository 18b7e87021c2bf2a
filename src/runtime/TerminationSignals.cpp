#include "runtime/TerminationSignals.h"

#include "runtime/Logging.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qv {

namespace {
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The handler may only write to a descriptor; the main thread reads the other end.
int g_pipe[2] = {-1, -1};
bool g_handlersInstalled = false;

void handleSignal(int signal)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[0], &byte, 1);
    errno = saved;
}

const Logger &terminationSignalsLog()
{
    static const Logger logger("Application");
    return logger;
}
} // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> onRequest, QObject *parent)
    : QObject(parent), m_onRequest(std::move(onRequest))
{
    if (g_handlersInstalled) {
        terminationSignalsLog().error("Termination signals are already watched");
        return;
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0) {
        terminationSignalsLog().error("Cannot watch termination signals: %s", std::strerror(errno));
        return;
    }
    struct sigaction action {};
    action.sa_handler = handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
    g_handlersInstalled = true;
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::drain);
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier)
        return;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
    g_handlersInstalled = false;
}

void TerminationSignals::drain()
{
    unsigned char byte = 0;
    while (::read(g_pipe[1], &byte, 1) == 1) {
        terminationSignalsLog().info("Quitting on signal %d", int(byte));
        if (m_onRequest)
            m_onRequest(int(byte));
    }
}

} // namespace qv
