#include "runtime/TerminationSignals.h"

#include "runtime/Logging.h"

#include <QSocketNotifier>

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace qv {

namespace {
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The handler may only write to descriptors: the main thread reads the other end of the
// first, the watchdog that of the second.
int g_pipe[2] = {-1, -1};
int g_watchdogWrite = -1;
bool g_handlersInstalled = false;

void handleSignal(int signal)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] ssize_t written = ::write(g_pipe[0], &byte, 1);
    if (g_watchdogWrite >= 0)
        written = ::write(g_watchdogWrite, &byte, 1);
    errno = saved;
}

void setHandlers(void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
}

const Logger &terminationSignalsLog()
{
    static const Logger logger("Application");
    return logger;
}
} // namespace

// Waits for the signals on a thread of its own; a request the main thread has not taken
// within the grace goes to onStuck.
struct TerminationSignals::Watchdog {
    std::function<void(int)> onStuck;
    std::chrono::milliseconds grace;
    int pipe[2] = {-1, -1}; // the reading end blocks; the handler's end does not
    std::mutex mutex;
    std::condition_variable changed;
    bool taken = false;    // the main thread has taken a request
    bool stopping = false;
    std::thread thread;

    void run()
    {
        // The signals go to the other threads' handlers, never to this one's.
        sigset_t set;
        sigemptyset(&set);
        for (int signal : kSignals)
            sigaddset(&set, signal);
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
        while (true) {
            unsigned char byte = 0;
            const ssize_t read = ::read(pipe[0], &byte, 1);
            if (read < 0 && errno == EINTR)
                continue;
            if (read != 1 || byte == 0)
                return;
            std::unique_lock lock(mutex);
            if (changed.wait_for(lock, grace, [this] { return taken || stopping; })) {
                if (stopping)
                    return;
                continue;
            }
            lock.unlock();
            terminationSignalsLog().error("Signal %d was not taken within %lld ms: ending without the quit path",
                                          int(byte), static_cast<long long>(grace.count()));
            if (!onStuck)
                endAsSignalled(byte);
            onStuck(byte);
            return;
        }
    }
};

TerminationSignals::TerminationSignals(std::function<void(int)> onRequest, QObject *parent)
    : TerminationSignals(std::move(onRequest), nullptr, kGrace, parent)
{
}

TerminationSignals::TerminationSignals(std::function<void(int)> onRequest, std::function<void(int)> onStuck,
                                       std::chrono::milliseconds grace, QObject *parent)
    : QObject(parent), m_onRequest(std::move(onRequest))
{
    if (g_handlersInstalled) {
        terminationSignalsLog().error("Termination signals are already watched");
        return;
    }
    auto watchdog = std::make_unique<Watchdog>();
    watchdog->onStuck = std::move(onStuck);
    watchdog->grace = grace;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0) {
        terminationSignalsLog().error("Cannot watch termination signals: %s", std::strerror(errno));
        return;
    }
    if (::pipe2(watchdog->pipe, O_CLOEXEC) != 0 || ::fcntl(watchdog->pipe[1], F_SETFL, O_NONBLOCK) != 0) {
        // The main thread's watch still works.
        terminationSignalsLog().error("Cannot watch for a main thread that does not answer a signal: %s",
                                      std::strerror(errno));
        for (int &fd : watchdog->pipe) {
            if (fd >= 0)
                ::close(fd);
        }
        watchdog.reset();
    } else {
        watchdog->thread = std::thread([w = watchdog.get()] { w->run(); });
        g_watchdogWrite = watchdog->pipe[1];
        m_watchdog = std::move(watchdog);
    }
    setHandlers(handleSignal);
    g_handlersInstalled = true;
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::drain);
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier)
        return;
    setHandlers(SIG_DFL);
    g_watchdogWrite = -1;
    if (m_watchdog) {
        {
            const std::lock_guard lock(m_watchdog->mutex);
            m_watchdog->stopping = true;
        }
        m_watchdog->changed.notify_all();
        const unsigned char stop = 0;
        [[maybe_unused]] const ssize_t written = ::write(m_watchdog->pipe[1], &stop, 1);
        m_watchdog->thread.join();
        ::close(m_watchdog->pipe[0]);
        ::close(m_watchdog->pipe[1]);
    }
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
    g_handlersInstalled = false;
}

void TerminationSignals::endAsSignalled(int signal)
{
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    ::raise(signal);
    std::_Exit(128 + signal);
}

void TerminationSignals::drain()
{
    unsigned char byte = 0;
    while (::read(g_pipe[1], &byte, 1) == 1) {
        if (m_watchdog) {
            {
                const std::lock_guard lock(m_watchdog->mutex);
                m_watchdog->taken = true;
            }
            m_watchdog->changed.notify_all();
        }
        terminationSignalsLog().info("Quitting on signal %d", int(byte));
        if (m_onRequest)
            m_onRequest(int(byte));
    }
}

} // namespace qv
