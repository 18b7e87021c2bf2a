#pragma once

#include "platform/HotKeys.h"
#include "runtime/Logging.h"
#include "runtime/Scheduler.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QHash>
#include <QMap>
#include <QObject>

#include <functional>
#include <memory>

class QDBusServiceWatcher;

namespace qv {

// Hot keys of a Wayland session through the desktop portal's global shortcuts: one portal
// session holds every registered key as a shortcut with the key as its preferred trigger
// (the desktop may let the user choose another); a press arrives as the portal's Activated
// signal. Every call is asynchronous. The portal's version property decides: without
// global shortcuts the keys go to the fallback (X key grabs, or none), registered there
// once the portal has answered. Registrations made before are kept and answered with 0, as
// are later ones where there is no fallback (said once); keyStatus() tells which of them can
// be pressed, and one the fallback refused is tried again when the fallback's keys change.
// A changed set of keys is bound in a new session (a session binds once). Whenever the portal
// starts, restarts or goes (a bus that starts it on demand starts it for the first question),
// it is asked again whatever the state, the keys staying where they are until it answers; a
// question it leaves unanswered ends the asking with the fallback, and it is asked again
// kRetryMs later.
class PortalHotKeys final : public QObject, public HotKeys {
    Q_OBJECT
public:
    enum class State { asking, portal, fallback };
    static constexpr const char *kService = "org.freedesktop.portal.Desktop";
    static constexpr const char *kPath = "/org/freedesktop/portal/desktop";
    static constexpr const char *kInterface = "org.freedesktop.portal.GlobalShortcuts";
    static constexpr int kCallTimeoutMs = 10'000;
    // How long a portal that let the question go unanswered is left before it is asked again.
    static constexpr qint64 kRetryMs = 10'000;

    PortalHotKeys(const QDBusConnection &bus, std::unique_ptr<HotKeys> fallback, QObject *parent = nullptr);
    ~PortalHotKeys() override;

    State state() const { return m_state; }
    // The portal session that holds the keys; empty while there is none.
    const QString &session() const { return m_session; }

    ResultCode installPressHandler(PressHandler handler) override;
    ResultCode registerHotKey(int keyCode, quint32 modifiers, HotKeyID id, HotKeyRef *ref) override;
    void unregisterHotKey(HotKeyRef ref) override;
    // Asking, the portal, key grabs of XWayland (the fallback of a Wayland session), or none.
    HotKeyWay way() const override;
    // With the fallback, what it says of the key (a key it refused is tried again when it
    // tells of a change); without one, kHotKeyNoWay.
    ResultCode keyStatus(HotKeyRef ref) const override;
    void setChangeHandler(std::function<void()> handler) override { m_changeHandler = std::move(handler); }

    // The key in the shortcuts' trigger notation ("LOGO+SHIFT+n"); empty for a key that
    // has none.
    static QString trigger(int keyCode, quint32 modifiers);
    // The shortcut id of a registration.
    static QString shortcutId(HotKeyID id);

signals:
    void stateChanged();
    // The portal bound the keys (each shortcut id with the trigger the desktop shows).
    void bound(const QMap<QString, QString> &triggers);

private slots:
    void response(const QDBusMessage &message);
    void activated(const QDBusMessage &message);

private:
    struct Registration {
        int keyCode;
        quint32 modifiers;
        HotKeyID id;
        HotKeyRef fallbackRef = 0;
        ResultCode fallbackRefusal = 0; // why the fallback refused it, while fallbackRef is 0
    };
    // Registers a key with the fallback; 0 or its refusal, kept with the key.
    ResultCode registerWithFallback(Registration &registration);
    // The fallback's keys changed: those it refused are tried again.
    void fallbackChanged();
    // The change handler is told on a later turn, once for what happened on this one.
    void notifyChange();
    void askVersion();
    // The portal took its name, or let it go (newOwner empty).
    void portalChanged(const QString &newOwner);
    void usePortal(uint version);
    void useFallback(const QString &reason, bool answered = true);
    // Logs a line unless it is the last one said.
    void say(const QString &line);
    // The set of keys changed: bound anew once the calls made now are done.
    void scheduleBind();
    void bindNow();
    void createSession();
    void bindShortcuts();
    void closeSession();
    // Calls a portal method that starts a request; done gets its response (code, results).
    void request(const QString &method, QVariantList arguments, QVariantMap options,
                 std::function<void(quint32, const QVariantMap &)> done);
    void setState(State state);

    QDBusConnection m_bus;
    std::unique_ptr<HotKeys> m_fallback;
    QDBusServiceWatcher *m_watcher = nullptr;
    State m_state = State::asking;
    PressHandler m_handler;
    std::function<void()> m_changeHandler;
    bool m_changeQueued = false;
    QMap<HotKeyRef, Registration> m_registrations;
    HotKeyRef m_next = 1;
    int m_generation = 0;      // answers of a portal that has gone since are dropped
    bool m_askedAfterLoss = false; // asked because the portal went, not answered since
    TaskHandle m_retry;            // asks again a portal that let the question go unanswered
    QString m_said;                // the last line about the way the keys go
    int m_token = 0;
    QString m_session;
    bool m_sessionBound = false;
    bool m_creating = false, m_binding = false, m_dirty = false, m_bindQueued = false;
    QHash<QString, std::function<void(quint32, const QVariantMap &)>> m_requests; // by request path
    Logger m_log{"Shortcuts"};
};

} // namespace qv
