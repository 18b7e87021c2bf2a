#include "platform/desktop/PortalHotKeys.h"

#include "platform/KeyCodes.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>

namespace qv {
namespace {
// One shortcut as the portal lists them: its id and its properties.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};
} // namespace
} // namespace qv

Q_DECLARE_METATYPE(qv::PortalShortcut)

namespace qv {
namespace {
QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

const QString kShortcutsService = QString::fromLatin1(PortalHotKeys::kService);
const QString kShortcutsPath = QString::fromLatin1(PortalHotKeys::kPath);
const QString kShortcutsInterface = QString::fromLatin1(PortalHotKeys::kInterface);
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

// A value of an answer: a{sv} and a(sa{sv}) arrive as D-Bus arguments.
template <typename T>
T portalValue(const QVariant &value)
{
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<T>(value.value<QDBusArgument>());
    return value.value<T>();
}

QString handlePath(const QVariant &value)
{
    return value.canConvert<QDBusObjectPath>() && value.typeId() == qMetaTypeId<QDBusObjectPath>()
               ? value.value<QDBusObjectPath>().path()
               : value.toString();
}
} // namespace

PortalHotKeys::PortalHotKeys(const QDBusConnection &bus, std::unique_ptr<HotKeys> fallback, QObject *parent)
    : QObject(parent), m_bus(bus), m_fallback(std::move(fallback))
{
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    if (!m_bus.isConnected()) {
        useFallback(QStringLiteral("no session bus"));
        return;
    }
    m_bus.connect(kShortcutsService, kShortcutsPath, kShortcutsInterface, QStringLiteral("Activated"), this, SLOT(activated(QDBusMessage)));
    m_watcher = new QDBusServiceWatcher(kShortcutsService, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) { portalChanged(newOwner); });
    askVersion();
}

PortalHotKeys::~PortalHotKeys()
{
    m_retry.cancel();
    closeSession();
}

void PortalHotKeys::portalChanged(const QString &newOwner)
{
    // The portal's sessions went with it, and whatever it was asked is asked again: a bus
    // that starts the portal on demand starts it for the first question, whose answer
    // comes from the portal that started.
    ++m_generation;
    m_retry.cancel();
    for (auto it = m_requests.cbegin(); it != m_requests.cend(); ++it)
        m_bus.disconnect(kShortcutsService, it.key(), kRequestInterface, QStringLiteral("Response"), this,
                         SLOT(response(QDBusMessage)));
    m_requests.clear();
    m_session.clear();
    m_sessionBound = false;
    m_creating = m_binding = false;
    if (newOwner.isEmpty()) {
        // Asked once after it went (which may start it again); one that goes again before
        // answering is waited for.
        if (m_askedAfterLoss) {
            useFallback(QStringLiteral("it went again before answering"), false);
            return;
        }
        m_askedAfterLoss = true;
        m_log.info("The desktop portal has gone: it is asked again how the hot keys go");
    }
    // Keys bound by the portal that went cannot be pressed; those of the fallback stay
    // until the answer.
    if (m_state == State::portal)
        setState(State::asking);
    askVersion();
}

QString PortalHotKeys::trigger(int keyCode, quint32 modifiers)
{
    const QChar key = characterForKeyCode(keyCode);
    if (key.isNull())
        return {};
    QStringList parts;
    if (modifiers & kHotKeyControl)
        parts << QStringLiteral("CTRL");
    if (modifiers & kHotKeyOption)
        parts << QStringLiteral("ALT");
    if (modifiers & kHotKeyShift)
        parts << QStringLiteral("SHIFT");
    if (modifiers & kHotKeyCommand)
        parts << QStringLiteral("LOGO");
    // Letters and digits are named by their (lower-case) keysyms.
    parts << QString(key.toLower());
    return parts.join(QLatin1Char('+'));
}

QString PortalHotKeys::shortcutId(HotKeyID id)
{
    return QStringLiteral("hotkey-%1-%2").arg(id.signature, 8, 16, QLatin1Char('0')).arg(id.id);
}

void PortalHotKeys::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged();
    notifyChange();
}

void PortalHotKeys::notifyChange()
{
    if (m_changeQueued)
        return;
    m_changeQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_changeQueued = false;
            if (m_changeHandler) {
                const std::function<void()> handler = m_changeHandler;
                handler();
            }
        },
        Qt::QueuedConnection);
}

HotKeyWay PortalHotKeys::way() const
{
    switch (m_state) {
    case State::asking: return HotKeyWay::pending;
    case State::portal: return HotKeyWay::portal;
    case State::fallback: break;
    }
    return m_fallback ? HotKeyWay::xwaylandKeyGrabs : HotKeyWay::none;
}

ResultCode PortalHotKeys::keyStatus(HotKeyRef ref) const
{
    const auto it = m_registrations.constFind(ref);
    if (it == m_registrations.constEnd())
        return kHotKeyInvalid;
    switch (m_state) {
    case State::asking: return kHotKeyPending;
    case State::portal: return 0;
    case State::fallback: break;
    }
    if (!m_fallback)
        return kHotKeyNoWay;
    return it->fallbackRef ? m_fallback->keyStatus(it->fallbackRef) : it->fallbackRefusal;
}

ResultCode PortalHotKeys::registerWithFallback(Registration &registration)
{
    registration.fallbackRef = 0;
    registration.fallbackRefusal = m_fallback->registerHotKey(registration.keyCode, registration.modifiers,
                                                              registration.id, &registration.fallbackRef);
    return registration.fallbackRefusal;
}

void PortalHotKeys::fallbackChanged()
{
    if (m_state != State::fallback)
        return;
    for (Registration &registration : m_registrations)
        if (!registration.fallbackRef)
            registerWithFallback(registration);
    notifyChange();
}

void PortalHotKeys::askVersion()
{
    QDBusMessage get = QDBusMessage::createMethodCall(kShortcutsService, kShortcutsPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << kShortcutsInterface << QStringLiteral("version");
    auto *call = new QDBusPendingCallWatcher(m_bus.asyncCall(get, kCallTimeoutMs), this);
    const int generation = m_generation;
    connect(call, &QDBusPendingCallWatcher::finished, this, [this, generation](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        if (generation != m_generation)
            return;
        const QDBusMessage reply = finished->reply();
        if (reply.type() != QDBusMessage::ReplyMessage) {
            if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply")
                || reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.Timeout")
                || reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.TimedOut")) {
                // A portal that holds its name (or is being started) but does not answer.
                useFallback(QStringLiteral("it did not answer within %1 s; asked again in %2 s")
                                .arg(kCallTimeoutMs / 1000)
                                .arg(kRetryMs / 1000),
                            false);
                m_retry = scheduler().after(kRetryMs, this, [this] { askVersion(); });
                return;
            }
            useFallback(reply.errorName());
            return;
        }
        const QVariant value = reply.arguments().value(0).value<QDBusVariant>().variant();
        if (value.typeId() != QMetaType::UInt || value.toUInt() == 0) {
            useFallback(QStringLiteral("a version of signature \"%1\"").arg(reply.signature()));
            return;
        }
        usePortal(value.toUInt());
    });
}

void PortalHotKeys::say(const QString &line)
{
    if (line == m_said)
        return;
    m_said = line;
    m_log.info("%s", qUtf8Printable(line));
}

void PortalHotKeys::usePortal(uint version)
{
    m_askedAfterLoss = false;
    say(QStringLiteral("Global hot keys through the desktop portal (version %1)").arg(version));
    // The keys leave the fallback for the portal's session.
    if (m_fallback)
        for (Registration &registration : m_registrations)
            if (registration.fallbackRef) {
                m_fallback->unregisterHotKey(registration.fallbackRef);
                registration.fallbackRef = 0;
            }
    setState(State::portal);
    scheduleBind();
}

void PortalHotKeys::useFallback(const QString &reason, bool answered)
{
    if (answered)
        m_askedAfterLoss = false;
    const QString why = answered ? QStringLiteral("The desktop portal has no global shortcuts (%1)").arg(reason.left(200))
                                 : QStringLiteral("The desktop portal gives no global shortcuts now (%1)").arg(reason);
    if (!m_fallback) {
        // The keys are kept, waiting for a portal that comes later.
        say(why + QStringLiteral(" and this session has no key grabs: the hot keys wait for a portal that has them"));
        setState(State::fallback);
        return;
    }
    say(why + QStringLiteral(": the hot keys are key grabs of XWayland, which act only while an X11 window has the "
                             "keyboard"));
    if (m_state == State::fallback)
        return;
    if (m_handler)
        m_fallback->installPressHandler(m_handler);
    m_fallback->setChangeHandler([this] { fallbackChanged(); });
    // What the fallback refuses is said by whoever registered the keys, told of the change.
    for (Registration &registration : m_registrations)
        if (!registration.fallbackRef)
            registerWithFallback(registration);
    setState(State::fallback);
}

ResultCode PortalHotKeys::installPressHandler(PressHandler handler)
{
    m_handler = std::move(handler);
    if (m_state == State::fallback && m_fallback)
        return m_fallback->installPressHandler(m_handler);
    return 0;
}

ResultCode PortalHotKeys::registerHotKey(int keyCode, quint32 modifiers, HotKeyID id, HotKeyRef *ref)
{
    Registration registration{keyCode, modifiers, id};
    // Without key grabs a key is kept, as one registered before the portal's answer is, for
    // a portal that comes later: useFallback() has said once that there are no hot keys now.
    if (m_state == State::fallback && m_fallback) {
        if (const ResultCode result = registerWithFallback(registration))
            return result;
    } else if (trigger(keyCode, modifiers).isEmpty()) {
        return kHotKeyInvalid;
    }
    const HotKeyRef made = m_next++;
    m_registrations.insert(made, registration);
    if (ref)
        *ref = made;
    scheduleBind();
    return 0;
}

void PortalHotKeys::unregisterHotKey(HotKeyRef ref)
{
    const auto it = m_registrations.find(ref);
    if (it == m_registrations.end())
        return;
    if (m_fallback && it->fallbackRef)
        m_fallback->unregisterHotKey(it->fallbackRef);
    m_registrations.erase(it);
    scheduleBind();
}

void PortalHotKeys::scheduleBind()
{
    m_dirty = true;
    if (m_state != State::portal || m_bindQueued)
        return;
    // Keys registered together are bound together.
    m_bindQueued = true;
    QMetaObject::invokeMethod(this, &PortalHotKeys::bindNow, Qt::QueuedConnection);
}

void PortalHotKeys::bindNow()
{
    m_bindQueued = false;
    if (m_state != State::portal || m_creating || m_binding || !m_dirty)
        return;
    if (m_registrations.isEmpty()) {
        closeSession();
        m_dirty = false;
        return;
    }
    // A session binds its shortcuts once: another set needs a session of its own.
    if (m_session.isEmpty() || m_sessionBound) {
        closeSession();
        createSession();
        return;
    }
    bindShortcuts();
}

void PortalHotKeys::createSession()
{
    m_creating = true;
    const QVariantMap options{{QStringLiteral("session_handle_token"), QStringLiteral("qv_s%1").arg(++m_token)}};
    request(QStringLiteral("CreateSession"), {}, options, [this](quint32 code, const QVariantMap &results) {
        m_creating = false;
        const QString session = handlePath(results.value(QStringLiteral("session_handle")));
        if (code != 0 || session.isEmpty()) {
            if (code == 0)
                m_log.error("The desktop portal made a global-shortcuts session without a handle: no hot keys");
            return;
        }
        m_session = session;
        m_sessionBound = false;
        bindNow();
    });
}

void PortalHotKeys::bindShortcuts()
{
    m_binding = true;
    m_dirty = false;
    QList<PortalShortcut> shortcuts;
    for (const Registration &registration : std::as_const(m_registrations)) {
        const QString text = hotKeyText(registration.modifiers, characterForKeyCode(registration.keyCode));
        shortcuts << PortalShortcut{shortcutId(registration.id),
                                    {{QStringLiteral("description"), QStringLiteral("Hot key %1").arg(text)},
                                     {QStringLiteral("preferred_trigger"),
                                      trigger(registration.keyCode, registration.modifiers)}}};
    }
    const QVariantList arguments{QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(shortcuts),
                                 QString()};
    request(QStringLiteral("BindShortcuts"), arguments, {}, [this](quint32 code, const QVariantMap &results) {
        m_binding = false;
        m_sessionBound = true;
        if (code == 0) {
            QMap<QString, QString> triggers;
            for (const PortalShortcut &shortcut :
                 portalValue<QList<PortalShortcut>>(results.value(QStringLiteral("shortcuts"))))
                triggers.insert(shortcut.id, shortcut.properties.value(QStringLiteral("trigger_description")).toString());
            m_log.info("The desktop portal bound %d hot keys", int(triggers.size()));
            emit bound(triggers);
        }
        if (m_dirty)
            bindNow();
    });
}

void PortalHotKeys::closeSession()
{
    if (m_session.isEmpty())
        return;
    m_bus.send(QDBusMessage::createMethodCall(kShortcutsService, m_session, QStringLiteral("org.freedesktop.portal.Session"),
                                              QStringLiteral("Close")));
    m_session.clear();
    m_sessionBound = false;
}

void PortalHotKeys::request(const QString &method, QVariantList arguments, QVariantMap options,
                            std::function<void(quint32, const QVariantMap &)> done)
{
    // The response is listened for before the call, at the path the request will have.
    const QString token = QStringLiteral("qv_r%1").arg(++m_token);
    options.insert(QStringLiteral("handle_token"), token);
    const QString sender = m_bus.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    const int generation = m_generation;
    auto answer = [this, generation, method, done = std::move(done)](quint32 code, const QVariantMap &results) {
        if (generation != m_generation)
            return;
        if (code != 0)
            m_log.error("The desktop portal's %s ended with response %u (%s): the hot keys are not bound",
                        qUtf8Printable(method), code, code == 1 ? "cancelled by the user" : "failed");
        done(code, results);
    };
    m_requests.insert(path, answer);
    m_bus.connect(kShortcutsService, path, kRequestInterface, QStringLiteral("Response"), this, SLOT(response(QDBusMessage)));

    QDBusMessage call = QDBusMessage::createMethodCall(kShortcutsService, kShortcutsPath, kShortcutsInterface, method);
    call.setArguments(arguments << options);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, path, method, generation](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                if (generation != m_generation)
                    return;
                const QDBusMessage reply = finished->reply();
                const QString handle = reply.arguments().value(0).value<QDBusObjectPath>().path();
                if (reply.type() == QDBusMessage::ReplyMessage && (handle == path || !m_requests.contains(path)))
                    return;
                auto answer = m_requests.take(path);
                m_bus.disconnect(kShortcutsService, path, kRequestInterface, QStringLiteral("Response"), this,
                                 SLOT(response(QDBusMessage)));
                if (!answer)
                    return;
                if (reply.type() == QDBusMessage::ReplyMessage && !handle.isEmpty()) {
                    // An older portal's request path: its response is awaited there.
                    m_requests.insert(handle, answer);
                    m_bus.connect(kShortcutsService, handle, kRequestInterface, QStringLiteral("Response"), this,
                                  SLOT(response(QDBusMessage)));
                    return;
                }
                m_log.error("The desktop portal's %s failed (%s)", qUtf8Printable(method),
                            qUtf8Printable(reply.type() == QDBusMessage::ReplyMessage
                                               ? QStringLiteral("no request")
                                               : reply.errorName() + QStringLiteral(": ") + reply.errorMessage().left(200)));
                m_creating = m_binding = false;
            });
}

void PortalHotKeys::response(const QDBusMessage &message)
{
    const auto answer = m_requests.take(message.path());
    if (!answer)
        return;
    m_bus.disconnect(kShortcutsService, message.path(), kRequestInterface, QStringLiteral("Response"), this, SLOT(response(QDBusMessage)));
    const QVariantList arguments = message.arguments();
    if (arguments.size() != 2 || arguments.first().typeId() != QMetaType::UInt) {
        m_log.error("The desktop portal answered with \"%s\": the hot keys are not bound",
                    qUtf8Printable(message.signature()));
        m_creating = m_binding = false;
        return;
    }
    answer(arguments.first().toUInt(), portalValue<QVariantMap>(arguments.at(1)));
}

void PortalHotKeys::activated(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (m_state != State::portal || arguments.size() < 2 || m_session.isEmpty()
        || handlePath(arguments.at(0)) != m_session)
        return;
    const QString id = arguments.at(1).toString();
    for (const Registration &registration : std::as_const(m_registrations))
        if (shortcutId(registration.id) == id) {
            if (m_handler)
                m_handler(registration.id);
            return;
        }
}

} // namespace qv
