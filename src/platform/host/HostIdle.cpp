#include "platform/host/HostIdle.h"

#include "platform/host/XConnection.h"

#include <QDBusMessage>
#include <QDBusReply>

#include <xcb/screensaver.h>
#include <xcb/xcb.h>

#include <cstdlib>

namespace qv {

namespace {
constexpr int kBusTimeoutMs = 500;

const char *sourceName(HostIdle::Source source)
{
    switch (source) {
    case HostIdle::Source::xScreenSaver:
        return "the X screen-saver extension";
    case HostIdle::Source::idleMonitor:
        return HostIdle::kIdleMonitorService;
    case HostIdle::Source::screenSaver:
        return HostIdle::kScreenSaverService;
    case HostIdle::Source::none:
        break;
    }
    return "nothing";
}
} // namespace

HostIdle::HostIdle(const QString &display, const QDBusConnection &bus) : m_bus(bus)
{
    if (connectX(display)) {
        m_source = Source::xScreenSaver;
    } else if (m_bus.isConnected()) {
        m_source = Source::idleMonitor;
    } else {
        m_log.error("No idle time on this desktop (no X screen-saver extension, no session bus); "
                    "the user counts as present");
    }
}

HostIdle::~HostIdle()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

bool HostIdle::connectX(const QString &display)
{
    xcb_window_t root = 0;
    m_connection = host::connectToX(display, &root);
    if (!m_connection)
        return false;
    const xcb_query_extension_reply_t *extension = xcb_get_extension_data(m_connection, &xcb_screensaver_id);
    if (!extension || !extension->present) {
        // Said once, when no session service answers either.
        xcb_disconnect(m_connection);
        m_connection = nullptr;
        return false;
    }
    m_root = root;
    return true;
}

double HostIdle::secondsSinceLastInputEvent()
{
    while (m_source != Source::none) {
        const std::optional<double> seconds = m_source == Source::xScreenSaver ? queryX() : queryBus(m_source);
        if (seconds)
            return *seconds;
    }
    return 0.0;
}

std::optional<double> HostIdle::queryX()
{
    xcb_screensaver_query_info_reply_t *reply = xcb_screensaver_query_info_reply(
        m_connection, xcb_screensaver_query_info(m_connection, m_root), nullptr);
    if (!reply) {
        dropSource(QStringLiteral("the X server did not answer"), true);
        return std::nullopt;
    }
    const double seconds = reply->ms_since_user_input / 1000.0;
    std::free(reply);
    return seconds;
}

std::optional<double> HostIdle::queryBus(Source source)
{
    const bool monitor = source == Source::idleMonitor;
    const QString service = QString::fromLatin1(monitor ? kIdleMonitorService : kScreenSaverService);
    QDBusMessage call = QDBusMessage::createMethodCall(
        service, QString::fromLatin1(monitor ? kIdleMonitorPath : kScreenSaverPath), service,
        monitor ? QStringLiteral("GetIdletime") : QStringLiteral("GetSessionIdleTime"));
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, kBusTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        // A desktop without the service (or the method) is no fault: the next one is asked.
        dropSource(reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage(), false);
        return std::nullopt;
    }
    // Both answer in milliseconds: the idle monitor as a 64-bit, the screen saver as a
    // 32-bit unsigned number.
    const QList<QVariant> arguments = reply.arguments();
    const int expected = monitor ? QMetaType::ULongLong : QMetaType::UInt;
    if (arguments.size() != 1 || arguments.first().typeId() != expected) {
        dropSource(QStringLiteral("an answer of the wrong type (%1)")
                       .arg(reply.signature().isEmpty() ? QStringLiteral("nothing") : reply.signature()),
                   true);
        return std::nullopt;
    }
    return arguments.first().toULongLong() / 1000.0;
}

void HostIdle::dropSource(const QString &reason, bool fault)
{
    const Source dropped = m_source;
    switch (m_source) {
    case Source::xScreenSaver:
        m_source = m_bus.isConnected() ? Source::idleMonitor : Source::none;
        break;
    case Source::idleMonitor:
        m_source = Source::screenSaver;
        break;
    case Source::screenSaver:
    case Source::none:
        m_source = Source::none;
        break;
    }
    if (m_source == Source::none)
        m_log.error("No idle time from %s (%s) and no other source; the user counts as present",
                    sourceName(dropped), qUtf8Printable(reason.left(200)));
    else if (fault)
        m_log.error("No idle time from %s (%s); asking %s", sourceName(dropped), qUtf8Printable(reason.left(200)),
                    sourceName(m_source));
}

} // namespace qv
