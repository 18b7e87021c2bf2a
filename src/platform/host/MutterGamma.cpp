#include "platform/host/MutterGamma.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QRegularExpression>

#include <memory>
#include <utility>

namespace qv::host {

// Named, not unnamed: the unity build puts this file in one unit with others.
namespace mutter {
const QString kResourcesSignature = QStringLiteral("ua(uxiiiiiuaua{sv})a(uxiausauaua{sv})a(uxuudu)ii");
const QString kStateSignature = QStringLiteral("ua((ssss)a(siiddada{sv})a{sv})a(iiduba(ssss)a{sv})a{sv}");
const QString kRampSignature = QStringLiteral("aqaqaq");
const QString kStaleError = QStringLiteral("org.freedesktop.DBus.Error.AccessDenied");
const QString kNoCrtcError = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
const QString kNotFormulas = QStringLiteral("the displays' transfer formulas are not applied");
// Reads in a row that a changing serial may outrun before the next waits bus::kRetryMs.
constexpr int kStaleReadLimit = 5;
constexpr quint32 kModeValidFlag = 0x1;
constexpr quint32 kModeSafeFlag = 0x2;

struct CrtcInfo {
    quint32 id = 0;
    int x = 0, y = 0, width = 0, height = 0;
    int mode = -1; // -1: drives nothing
};
struct OutputInfo {
    QString name;
    int crtc = -1;
    QVariantMap properties;
};
struct Monitor {
    QString connector, vendor, product, serial;
    QList<DisplayMode> modes;
    int currentMode = -1;
    bool builtIn = false;
    bool primary = false;
    double scale = 1;
};

bool isGone(const QString &errorName)
{
    return errorName == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")
           || errorName == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")
           || errorName == QLatin1String("org.freedesktop.DBus.Error.Disconnected");
}

QString errorText(const QDBusMessage &reply)
{
    return reply.errorMessage().isEmpty() ? reply.errorName()
                                          : QStringLiteral("%1: %2").arg(reply.errorName(), reply.errorMessage());
}

bool flag(const QVariantMap &properties, const char *key)
{
    const QVariant value = bus::unwrapped(properties.value(QLatin1String(key)));
    return value.userType() == QMetaType::Bool && value.toBool();
}

QString text(const QVariantMap &properties, const char *key)
{
    const QVariant value = bus::unwrapped(properties.value(QLatin1String(key)));
    return value.userType() == QMetaType::QString ? value.toString() : QString();
}

QDBusArgument argumentAt(const QDBusMessage &message, int index)
{
    return qvariant_cast<QDBusArgument>(message.arguments().value(index));
}

QList<quint16> channel(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QList<quint16>>())
        return qvariant_cast<QList<quint16>>(value);
    QList<quint16> list;
    qvariant_cast<QDBusArgument>(value) >> list;
    return list;
}

QList<Monitor> readState(const QDBusMessage &reply)
{
    QList<Monitor> monitors;
    const QDBusArgument list = argumentAt(reply, 1);
    list.beginArray();
    while (!list.atEnd()) {
        Monitor monitor;
        list.beginStructure();
        list.beginStructure();
        list >> monitor.connector >> monitor.vendor >> monitor.product >> monitor.serial;
        list.endStructure();
        list.beginArray();
        while (!list.atEnd()) {
            QString id;
            int width = 0, height = 0;
            double rate = 0, preferredScale = 0;
            QList<double> scales;
            QVariantMap properties;
            list.beginStructure();
            list >> id >> width >> height >> rate >> preferredScale >> scales >> properties;
            list.endStructure();
            if (flag(properties, "is-current"))
                monitor.currentMode = int(monitor.modes.size());
            monitor.modes << DisplayMode{width, height, width, height, rate,
                                         kModeValidFlag | (flag(properties, "is-preferred") ? kModeSafeFlag : 0)};
        }
        list.endArray();
        QVariantMap properties;
        list >> properties;
        list.endStructure();
        monitor.builtIn = flag(properties, "is-builtin") || isPanelConnectorName(monitor.connector);
        monitors << monitor;
    }
    list.endArray();

    const QDBusArgument logical = argumentAt(reply, 2);
    logical.beginArray();
    while (!logical.atEnd()) {
        int x = 0, y = 0;
        double scale = 1;
        quint32 transform = 0;
        bool primary = false;
        QStringList connectors;
        logical.beginStructure();
        logical >> x >> y >> scale >> transform >> primary;
        logical.beginArray();
        while (!logical.atEnd()) {
            QString connector, vendor, product, serial;
            logical.beginStructure();
            logical >> connector >> vendor >> product >> serial;
            logical.endStructure();
            connectors << connector;
        }
        logical.endArray();
        QVariantMap properties;
        logical >> properties;
        logical.endStructure();
        for (Monitor &monitor : monitors) {
            if (!connectors.contains(monitor.connector))
                continue;
            monitor.primary = primary;
            if (scale > 0)
                monitor.scale = scale;
        }
    }
    logical.endArray();
    // Modes in points at the logical monitor's scale.
    for (Monitor &monitor : monitors)
        for (DisplayMode &mode : monitor.modes) {
            mode.width = qRound(mode.pixelWidth / monitor.scale);
            mode.height = qRound(mode.pixelHeight / monitor.scale);
        }
    return monitors;
}

// The CRTCs and outputs of GetResources (of the signature checked before).
void readResources(const QDBusMessage &reply, QList<CrtcInfo> *crtcs, QList<OutputInfo> *outputs)
{
    const QDBusArgument crtcList = argumentAt(reply, 1);
    crtcList.beginArray();
    while (!crtcList.atEnd()) {
        CrtcInfo crtc;
        qint64 winsys = 0;
        quint32 transform = 0;
        QList<quint32> transforms;
        QVariantMap properties;
        crtcList.beginStructure();
        crtcList >> crtc.id >> winsys >> crtc.x >> crtc.y >> crtc.width >> crtc.height >> crtc.mode >> transform
            >> transforms >> properties;
        crtcList.endStructure();
        *crtcs << crtc;
    }
    crtcList.endArray();
    const QDBusArgument outputList = argumentAt(reply, 2);
    outputList.beginArray();
    while (!outputList.atEnd()) {
        OutputInfo output;
        quint32 id = 0;
        qint64 winsys = 0;
        QList<quint32> possible, modes, clones;
        outputList.beginStructure();
        outputList >> id >> winsys >> output.crtc >> possible >> output.name >> modes >> clones >> output.properties;
        outputList.endStructure();
        *outputs << output;
    }
    outputList.endArray();
}
} // namespace mutter

struct MutterGamma::Read {
    quint32 serial = 0;
    Layout layout;
    QList<quint32> lit; // handles, in the order their ramps were asked for
    QHash<quint32, GammaRamp> ramps;
    QSet<quint32> unanswered; // handles whose ramp was not answered in time
};

MutterGamma::MutterGamma(const QDBusConnection &sessionBus, QObject *parent)
    : MutterGamma(sessionBus, Options{}, parent)
{
}

MutterGamma::MutterGamma(const QDBusConnection &sessionBus, Options options, QObject *parent)
    : GammaMethod(parent), m_bus(sessionBus), m_options(options)
{
    using namespace mutter;
    if (!m_bus.isConnected()) {
        setReason(QStringLiteral("There is no session bus to reach GNOME's display configuration; %1").arg(kNotFormulas));
        return;
    }
    const QString service = QLatin1String(kService);
    m_bus.connect(service, QLatin1String(kPath), QLatin1String(kInterface), QStringLiteral("MonitorsChanged"), this,
                  SLOT(monitorsChanged()));
    auto *watcher = new QDBusServiceWatcher(service, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) {
                m_owner = newOwner;
                if (newOwner.isEmpty())
                    serviceGone();
                else
                    read();
            });
    read();
}

MutterGamma::~MutterGamma()
{
    m_retry.cancel();
    m_layoutWait.cancel();
    settle();
}

void MutterGamma::settle()
{
    m_settling = true;
    // What waits behind a call under way goes now, not after its answer: the bus keeps the
    // order of one sender's calls, so the compositor still takes it last, and one that
    // stalls takes it when it goes on, even after we are gone.
    const QHash<quint32, GammaRamp> waiting = std::exchange(m_waiting, {});
    for (auto it = waiting.cbegin(); it != waiting.cend(); ++it)
        sendRamp(it.key(), it.value());
    const QSet<quint32> readAfter = std::exchange(m_readAfter, {});
    for (const quint32 crtc : readAfter)
        sendRead(crtc);
    // The answers come in the calls' order. Once one is not in time, the compositor is not
    // waited for again: the quit waits no longer than the oldest call's timeout.
    while (!m_calls.isEmpty()) {
        Call call = m_calls.first();
        call.call.waitForFinished();
        const QDBusMessage reply = call.call.reply();
        finish(call.id, reply);
        if (bus::timedOut(reply.errorName())) {
            m_calls.clear();
            m_sent.clear();
            m_rampReads.clear();
            break;
        }
    }
    m_settling = false;
}

void MutterGamma::track(const QDBusMessage &message, std::function<void(const QDBusMessage &)> done)
{
    const int id = m_nextCall++;
    const QDBusPendingCall call = m_bus.asyncCall(message, m_options.callTimeoutMs);
    m_calls << Call{id, call, std::move(done)};
    auto *watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, id](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        finish(id, finished->reply());
    });
}

void MutterGamma::finish(int id, const QDBusMessage &reply)
{
    // Each answer is taken once: settle() may have taken it before its watcher said so.
    const auto it = std::find_if(m_calls.begin(), m_calls.end(), [id](const Call &call) { return call.id == id; });
    if (it == m_calls.end())
        return;
    const std::function<void(const QDBusMessage &)> done = std::move(it->done);
    m_calls.erase(it);
    done(reply);
}

QString MutterGamma::crtcName(quint32 crtc) const
{
    return QStringLiteral("CRTC %1").arg(crtc - 1);
}

void MutterGamma::unanswered(const QString &what)
{
    using namespace mutter;
    if (m_stalled)
        return;
    m_stalled = true;
    m_log.error("GNOME's display configuration did not answer %s; the ramps it holds are not known until it answers "
                "again",
                qUtf8Printable(what));
}

void MutterGamma::answered()
{
    if (m_stalled) {
        m_stalled = false;
        m_log.info("GNOME's display configuration answers again");
        if (m_reading)
            return; // the read under way brings the whole layout
        if (m_unread.isEmpty()) {
            // The back-end writes again what did not get through.
            QMetaObject::invokeMethod(this, &GammaMethod::layoutChanged, Qt::QueuedConnection);
            return;
        }
    }
    // The ramps a read of the layout went without come with a read of it again.
    if (!m_unread.isEmpty() && !m_reading)
        read();
}

void MutterGamma::askAgain(quint32 crtc)
{
    if (m_unread.contains(crtc) && !m_reading && !m_rampReads.contains(crtc))
        sendRead(crtc);
}

void MutterGamma::askLayoutAgain()
{
    // A read under way is answered as soon as the compositor answers: nothing to add.
    if (m_retry.isActive() && !m_reading)
        read();
}

void MutterGamma::layoutUnanswered()
{
    using namespace mutter;
    unanswered(QStringLiteral("when the screens' layout was read"));
    const QString reason =
        QStringLiteral("GNOME's display configuration does not answer; %1 until it does").arg(kNotFormulas);
    if (m_layout.outputs.isEmpty()) {
        m_reason = reason;
        emit layoutChanged();
        return;
    }
    // The displays stay as read last (a stall is no unplugging); what is written to them
    // meanwhile answers stale and follows the layout once it is in.
    QSet<quint32> crtcs;
    for (const Output &output : std::as_const(m_layout.outputs))
        crtcs.insert(output.crtc);
    for (const quint32 crtc : std::as_const(crtcs))
        emit writeFailed(crtc, reason);
}

QString MutterGamma::methodName() const
{
    return QStringLiteral("GNOME display configuration");
}

QString MutterGamma::unavailableReason() const
{
    return m_reason;
}

GammaMethod::Layout MutterGamma::layout() const
{
    return m_layout;
}

std::optional<GammaRamp> MutterGamma::currentRamp(quint32 crtc)
{
    // A ramp waiting or under way is what the CRTC is about to hold.
    if (const auto waiting = m_waiting.constFind(crtc); waiting != m_waiting.cend())
        return *waiting;
    if (const auto sent = m_sent.constFind(crtc); sent != m_sent.cend())
        return *sent;
    const auto found = m_ramps.constFind(crtc);
    return found == m_ramps.cend() ? std::nullopt : std::optional<GammaRamp>(*found);
}

QString MutterGamma::serverMark()
{
    return m_owner.isEmpty() || m_busId.isEmpty() ? QString() : m_busId + QLatin1Char(' ') + m_owner;
}

QDBusMessage MutterGamma::methodCall(const QString &method, const QVariantList &arguments) const
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath), QLatin1String(kInterface), method);
    message.setArguments(arguments);
    return message;
}

void MutterGamma::callAll(const QList<QDBusMessage> &calls, int timeoutMs,
                          std::function<void(const QList<QDBusMessage> &)> done)
{
    struct Gathered {
        QList<QDBusMessage> replies;
        qsizetype left = 0;
    };
    auto gathered = std::make_shared<Gathered>();
    gathered->replies.resize(calls.size());
    gathered->left = calls.size();
    const int generation = m_generation;
    for (qsizetype i = 0; i < calls.size(); ++i) {
        auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(calls.at(i), timeoutMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, i, gathered, generation, done](QDBusPendingCallWatcher *call) {
                    call->deleteLater();
                    gathered->replies[i] = call->reply();
                    if (--gathered->left == 0 && generation == m_generation)
                        done(gathered->replies);
                });
    }
}

void MutterGamma::read()
{
    using namespace mutter;
    ++m_generation;
    m_reading = true;
    m_retry.cancel();
    // What waits belongs to the CRTC ids of the old serial; the back-end writes again.
    m_waiting.clear();
    m_readAfter.clear();
    // A compositor busy past a call's time is said to stall, but its answer is still waited
    // for: however late, it is the layout.
    m_layoutWait.cancel();
    m_layoutWait = scheduler().after(m_options.callTimeoutMs, this, [this] { layoutUnanswered(); });
    const QString dbus = QStringLiteral("org.freedesktop.DBus");
    const QString dbusPath = QStringLiteral("/org/freedesktop/DBus");
    QDBusMessage owner = QDBusMessage::createMethodCall(dbus, dbusPath, dbus, QStringLiteral("GetNameOwner"));
    owner << QLatin1String(kService);
    const QList<QDBusMessage> calls{methodCall(QStringLiteral("GetResources")), methodCall(QStringLiteral("GetCurrentState")),
                                    owner, QDBusMessage::createMethodCall(dbus, dbusPath, dbus, QStringLiteral("GetId"))};
    callAll(calls, m_options.layoutWaitMs, [this](const QList<QDBusMessage> &replies) {
        m_layoutWait.cancel();
        if (replies[2].type() == QDBusMessage::ReplyMessage)
            m_owner = replies[2].arguments().value(0).toString();
        if (replies[3].type() == QDBusMessage::ReplyMessage)
            m_busId = replies[3].arguments().value(0).toString();
        for (const int i : {0, 1}) {
            const QDBusMessage &reply = replies[i];
            if (reply.type() == QDBusMessage::ReplyMessage)
                continue;
            if (isGone(reply.errorName()))
                return fail(QStringLiteral("GNOME's display configuration is not running; %1").arg(kNotFormulas), false);
            // Unanswered even after the long wait: asked again at once, behind the call that
            // went unanswered (the stall was said when a call's time had passed).
            if (bus::timedOut(reply.errorName()))
                return read();
            return fail(QStringLiteral("GNOME's display configuration refused to tell the screens' layout (%1); %2")
                            .arg(errorText(reply), kNotFormulas),
                        true);
        }
        const std::pair<const QDBusMessage *, const QString *> shapes[] = {{&replies[0], &kResourcesSignature},
                                                                           {&replies[1], &kStateSignature}};
        for (const auto &[reply, signature] : shapes)
            if (reply->signature() != *signature)
                return fail(QStringLiteral("GNOME's display configuration answered %1 with \"%2\" where \"%3\" belongs; %4")
                                .arg(reply == &replies[0] ? QStringLiteral("GetResources") : QStringLiteral("GetCurrentState"),
                                     reply->signature(), *signature, kNotFormulas),
                            false);
        answered();
        const quint32 serial = replies[0].arguments().value(0).toUInt();
        if (replies[1].arguments().value(0).toUInt() != serial)
            return readAgainAfterStale(QStringLiteral("between its two answers"));

        QList<CrtcInfo> crtcs;
        QList<OutputInfo> outputs;
        readResources(replies[0], &crtcs, &outputs);
        const QList<Monitor> monitors = readState(replies[1]);

        auto read = std::make_shared<Read>();
        read->serial = serial;
        for (const OutputInfo &info : std::as_const(outputs)) {
            const auto crtc = std::find_if(crtcs.cbegin(), crtcs.cend(),
                                           [&](const CrtcInfo &c) { return info.crtc >= 0 && c.id == quint32(info.crtc); });
            if (crtc == crtcs.cend() || crtc->mode < 0)
                continue;
            const auto monitor = std::find_if(monitors.cbegin(), monitors.cend(),
                                              [&](const Monitor &m) { return m.connector == info.name; });
            Output output;
            output.name = info.name;
            output.crtc = crtc->id + 1;
            if (monitor != monitors.cend()) {
                output.edid = identity(monitor->vendor, monitor->product, monitor->serial);
                output.builtIn = monitor->builtIn;
                output.primary = monitor->primary;
                output.modes = monitor->modes;
                output.currentMode = monitor->currentMode;
            } else {
                output.edid = identity(text(info.properties, "vendor"), text(info.properties, "product"),
                                       text(info.properties, "serial"));
                output.builtIn = isPanelConnectorName(info.name);
                output.primary = flag(info.properties, "primary");
            }
            output.position = QPoint(crtc->x, crtc->y);
            output.pixelsWide = crtc->width;
            output.pixelsHigh = crtc->height;
            read->layout.outputs << output;
            if (!read->lit.contains(output.crtc))
                read->lit << output.crtc;
        }
        QList<QDBusMessage> rampCalls;
        for (const quint32 handle : std::as_const(read->lit))
            rampCalls << methodCall(QStringLiteral("GetCrtcGamma"), {serial, handle - 1});
        if (rampCalls.isEmpty())
            return rampsAnswered(read, {});
        callAll(rampCalls, m_options.callTimeoutMs, [this, read](const QList<QDBusMessage> &answers) {
            QStringList problems;
            for (qsizetype i = 0; i < answers.size(); ++i) {
                const QDBusMessage &reply = answers[i];
                const quint32 handle = read->lit[i];
                QString problem;
                if (reply.type() != QDBusMessage::ReplyMessage) {
                    if (reply.errorName() == kStaleError)
                        return readAgainAfterStale(QStringLiteral("while its gamma ramps were read"));
                    if (bus::timedOut(reply.errorName())) {
                        read->unanswered.insert(handle);
                        continue;
                    }
                    problem = errorText(reply);
                } else if (reply.signature() != kRampSignature) {
                    problem = QStringLiteral("an answer of signature \"%1\"").arg(reply.signature());
                } else {
                    GammaRamp ramp{channel(reply.arguments().value(0)), channel(reply.arguments().value(1)),
                                   channel(reply.arguments().value(2))};
                    if (ramp.green.size() != ramp.red.size() || ramp.blue.size() != ramp.red.size())
                        problem = QStringLiteral("channels of %1, %2 and %3 entries")
                                      .arg(ramp.red.size())
                                      .arg(ramp.green.size())
                                      .arg(ramp.blue.size());
                    else if (!isUsableGammaRampSize(ramp.size()))
                        problem = QStringLiteral("a ramp of %1 entries").arg(ramp.size());
                    else {
                        read->layout.gammaSizes.insert(handle, ramp.size());
                        read->ramps.insert(handle, ramp);
                        continue;
                    }
                }
                QStringList names;
                for (const Output &output : std::as_const(read->layout.outputs))
                    if (output.crtc == handle)
                        names << output.name;
                problems << QStringLiteral("%1 (%2: %3)").arg(names.join(QLatin1Char('/')), crtcName(handle), problem);
            }
            rampsAnswered(read, problems.join(QStringLiteral(", ")));
        });
    });
}

void MutterGamma::rampsAnswered(const std::shared_ptr<Read> &read, const QString &problems)
{
    using namespace mutter;
    m_reading = false;
    m_staleReads = 0;
    m_serial = read->serial;
    m_layout = read->layout;
    m_ramps = read->ramps;
    m_sent.clear();
    m_rampReads.clear();
    m_refusals.clear();
    m_unread = read->unanswered;
    // One line for what the read found wrong; the same again after the next read is not repeated.
    if (m_layout.outputs.isEmpty()) {
        // Remote and virtual sessions (a headless compositor's virtual monitors) have no CRTCs.
        m_reason = QStringLiteral("GNOME's display configuration lists no CRTCs, as in a remote or virtual session: "
                                  "this desktop does not let applications set the screens' gamma");
        m_note(m_log, QString()); // the back-end's "Displays:" line says it
    } else if (m_layout.gammaSizes.isEmpty() && m_unread.isEmpty()) {
        m_reason = QStringLiteral("GNOME's display configuration gives no usable gamma ramp for any screen%1; %2")
                       .arg(problems.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(problems), kNotFormulas);
        m_note(m_log, m_reason);
    } else {
        m_reason.clear();
        m_note(m_log, problems.isEmpty() ? QString()
                                         : QStringLiteral("GNOME's display configuration gives no usable gamma ramp for "
                                                          "%1; its transfer formula is not applied")
                                               .arg(problems));
    }
    emit layoutChanged();
    for (auto it = m_ramps.cbegin(); it != m_ramps.cend(); ++it)
        emit rampRead(it.key(), it.value());
    if (m_unread.isEmpty())
        return;
    // The compositor stalls: said once, and a read of each ramp it did not give stays under
    // way, so that its answer brings the whole layout again.
    unanswered(QStringLiteral("when the gamma ramps were read"));
    const QString reason =
        QStringLiteral("GNOME's display configuration does not answer; %1 until it does").arg(kNotFormulas);
    const QSet<quint32> unread = m_unread; // what the signal's receivers do may change it
    for (const quint32 handle : unread) {
        emit writeFailed(handle, reason);
        if (!m_rampReads.contains(handle))
            sendRead(handle);
    }
}

void MutterGamma::readAgainAfterStale(const QString &what)
{
    using namespace mutter;
    if (++m_staleReads < kStaleReadLimit) {
        read();
        return;
    }
    m_staleReads = 0;
    fail(QStringLiteral("GNOME's display configuration kept changing its layout %1; %2 until it settles")
             .arg(what, kNotFormulas),
         true);
}

void MutterGamma::fail(const QString &reason, bool retry)
{
    ++m_generation; // the answers still under way are void
    m_reading = false;
    m_layoutWait.cancel();
    m_layout = {};
    m_ramps.clear();
    m_sent.clear();
    m_waiting.clear();
    m_readAfter.clear();
    m_rampReads.clear();
    m_unread.clear();
    m_reason = reason;
    m_note(m_log, reason);
    if (retry)
        m_retry = scheduler().after(bus::kRetryMs, this, [this] { read(); });
    emit layoutChanged();
}

void MutterGamma::serviceGone()
{
    using namespace mutter;
    m_retry.cancel();
    fail(QStringLiteral("GNOME's display configuration is not running; %1").arg(kNotFormulas), false);
}

void MutterGamma::setReason(const QString &reason)
{
    m_reason = reason;
    m_note(m_log, reason);
}

void MutterGamma::monitorsChanged()
{
    read();
}

GammaMethod::Result MutterGamma::writeRamp(quint32 crtc, const GammaRamp &ramp)
{
    using namespace mutter;
    if (!m_bus.isConnected() || (!m_reading && m_owner.isEmpty()))
        return {Status::gone, m_reason};
    if (m_reading)
        return {Status::stale, QStringLiteral("The screens' layout is being read again")};
    const auto size = m_layout.gammaSizes.constFind(crtc);
    if (size == m_layout.gammaSizes.cend())
        return {Status::unknownCrtc,
                QStringLiteral("GNOME's display configuration has no gamma ramp for %1").arg(crtcName(crtc))};
    if (ramp.size() != *size || ramp.green.size() != *size || ramp.blue.size() != *size)
        return {Status::wrongSize, QStringLiteral("%1 has a gamma ramp of %2 entries, not %3")
                                       .arg(crtcName(crtc))
                                       .arg(*size)
                                       .arg(ramp.size())};
    // One write under way per CRTC; the latest written meanwhile follows it.
    if (m_sent.contains(crtc) || m_rampReads.contains(crtc)) {
        m_waiting.insert(crtc, ramp);
        return {};
    }
    sendRamp(crtc, ramp);
    return {};
}

void MutterGamma::readRamp(quint32 crtc)
{
    if (m_reading || !m_layout.gammaSizes.contains(crtc))
        return; // the layout's read brings every ramp
    if (m_sent.contains(crtc) || m_waiting.contains(crtc) || m_rampReads.contains(crtc))
        m_readAfter.insert(crtc);
    else
        sendRead(crtc);
}

void MutterGamma::sendRamp(quint32 crtc, const GammaRamp &ramp)
{
    m_sent.insert(crtc, ramp);
    const int generation = m_generation;
    track(methodCall(QStringLiteral("SetCrtcGamma"),
                     {m_serial, crtc - 1, QVariant::fromValue(ramp.red), QVariant::fromValue(ramp.green),
                      QVariant::fromValue(ramp.blue)}),
          [this, crtc, ramp, generation](const QDBusMessage &reply) { written(crtc, ramp, generation, reply); });
}

void MutterGamma::sendRead(quint32 crtc)
{
    using namespace mutter;
    m_rampReads.insert(crtc);
    const int generation = m_generation;
    track(methodCall(QStringLiteral("GetCrtcGamma"), {m_serial, crtc - 1}),
          [this, crtc, generation](const QDBusMessage &reply) {
              if (generation != m_generation)
                  return; // a read of the layout since brings every ramp
              m_rampReads.remove(crtc);
              if (reply.type() == QDBusMessage::ReplyMessage && reply.signature() == kRampSignature) {
                  answered();
                  const GammaRamp ramp{channel(reply.arguments().value(0)), channel(reply.arguments().value(1)),
                                       channel(reply.arguments().value(2))};
                  if (ramp.size() == m_layout.gammaSizes.value(crtc) && ramp.green.size() == ramp.size()
                      && ramp.blue.size() == ramp.size()) {
                      m_ramps.insert(crtc, ramp);
                      emit rampRead(crtc, ramp);
                  }
              } else if (bus::timedOut(reply.errorName())) {
                  unanswered(QStringLiteral("when the gamma ramp of %1 was read").arg(crtcName(crtc)));
              } else if (isGone(reply.errorName())) {
                  return; // the service's going is said by its watcher
              } else if (reply.errorName() == kStaleError) {
                  read();
                  return;
              } else {
                  answered(); // a refusal is an answer too: no read again at once
              }
              next(crtc);
          });
}

void MutterGamma::next(quint32 crtc)
{
    // At quit, a compositor that did not answer is not waited for again.
    if (m_settling && m_stalled) {
        m_waiting.remove(crtc);
        m_readAfter.remove(crtc);
        return;
    }
    if (const auto waiting = m_waiting.constFind(crtc); waiting != m_waiting.cend()) {
        const GammaRamp ramp = *waiting;
        m_waiting.erase(waiting);
        sendRamp(crtc, ramp);
    } else if (m_readAfter.remove(crtc) || (m_stalled && !m_ramps.contains(crtc))) {
        // While the compositor does not answer, a read stays under way for each CRTC whose
        // ramp is not known: its answer says when the compositor is back, and what it holds.
        sendRead(crtc);
    }
}

void MutterGamma::written(quint32 crtc, const GammaRamp &ramp, int generation, const QDBusMessage &reply)
{
    using namespace mutter;
    if (generation != m_generation)
        return; // a read since: it brings what the compositor holds now
    m_sent.remove(crtc);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        m_ramps.insert(crtc, ramp);
        m_staleWrites = 0;
        answered();
        next(crtc);
        return;
    }
    // Whatever went wrong, the ramp is not known to be on the CRTC.
    m_ramps.remove(crtc);
    QString reason;
    if (reply.errorName() == kStaleError && ++m_staleWrites >= kStaleReadLimit) {
        // A serial that moves under every write: no more reads until later.
        m_staleWrites = 0;
        reason = QStringLiteral("GNOME's display configuration changed its layout under every gamma ramp "
                                "written; %1 until it settles")
                     .arg(kNotFormulas);
        emit writeFailed(crtc, reason);
        fail(reason, true);
        return;
    }
    if (reply.errorName() == kStaleError) {
        reason = QStringLiteral("The screens' layout changed before the gamma ramp of %1 was set; it is read again")
                     .arg(crtcName(crtc));
        m_log.error("%s", qUtf8Printable(reason));
        emit writeFailed(crtc, reason);
        read();
        return;
    }
    if (isGone(reply.errorName()))
        return; // the service's going is said by its watcher, and ends what waits
    if (reply.errorName() == kNoCrtcError) {
        // Not read again at once (the answer would be the same): the CRTC is left
        // out until the screens change.
        reason = QStringLiteral("GNOME's display configuration refused the gamma ramp of %1 (%2); it is "
                                "left as it is until the screens change")
                     .arg(crtcName(crtc), errorText(reply));
        m_layout.gammaSizes.remove(crtc);
        m_waiting.remove(crtc);
        m_readAfter.remove(crtc);
        m_log.error("%s", qUtf8Printable(reason));
        emit writeFailed(crtc, reason);
        emit layoutChanged();
        return;
    }
    if (bus::timedOut(reply.errorName())) {
        // The write may still reach the CRTC, and later ones after it: the next goes
        // behind it, and the compositor takes them in order.
        reason = QStringLiteral("GNOME's display configuration did not answer when the gamma ramp of %1 was set")
                     .arg(crtcName(crtc));
        unanswered(QStringLiteral("when the gamma ramp of %1 was set").arg(crtcName(crtc)));
    } else {
        reason = QStringLiteral("GNOME's display configuration refused the gamma ramp of %1 (%2)")
                     .arg(crtcName(crtc), errorText(reply));
        // Once per CRTC and cause until the layout is read again.
        if (const QString key = QStringLiteral("%1 %2").arg(crtc).arg(reply.errorName()); !m_refusals.contains(key)) {
            m_refusals.insert(key);
            m_log.error("%s", qUtf8Printable(reason));
        }
    }
    emit writeFailed(crtc, reason);
    next(crtc);
}

EdidInfo MutterGamma::identity(const QString &vendor, const QString &product, const QString &serial)
{
    const auto known = [](const QString &text) {
        return !text.trimmed().isEmpty() && text.compare(QLatin1String("unknown"), Qt::CaseInsensitive) != 0;
    };
    static const QRegularExpression letters(QStringLiteral("^[A-Z]{3}$"));
    static const QRegularExpression code(QStringLiteral("^0x([0-9a-fA-F]{1,8})$"));
    EdidInfo info;
    if (known(vendor) && letters.match(vendor).hasMatch()) {
        info.manufacturer = vendor;
        for (const QChar letter : vendor)
            info.vendor = info.vendor << 5 | quint32(letter.unicode() - 'A' + 1);
    }
    if (known(product)) {
        const QRegularExpressionMatch number = code.match(product.trimmed());
        if (number.hasMatch())
            info.model = number.captured(1).toUInt(nullptr, 16) & 0xffff;
        else
            info.name = product.trimmed();
    }
    if (known(serial)) {
        const QRegularExpressionMatch number = code.match(serial.trimmed());
        if (number.hasMatch())
            info.serial = number.captured(1).toUInt(nullptr, 16);
        else
            info.serialText = serial.trimmed();
    }
    info.valid = info.vendor || info.model || info.serial || !info.name.isEmpty() || !info.serialText.isEmpty();
    if (!info.valid)
        info.problem = QStringLiteral("no vendor, product or serial");
    else if (known(vendor) && !info.vendor)
        info.problem = QStringLiteral("vendor \"%1\" is no manufacturer id").arg(vendor);
    return info;
}

// GnomeNightLight

GnomeNightLight::GnomeNightLight(const QDBusConnection &sessionBus, int callTimeoutMs, QObject *parent)
    : QObject(parent), m_bus(sessionBus), m_callTimeoutMs(callTimeoutMs)
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(QLatin1String(kService), QLatin1String(kPath), QStringLiteral("org.freedesktop.DBus.Properties"),
                  QStringLiteral("PropertiesChanged"), this, SLOT(propertiesChanged(QDBusMessage)));
    auto *watcher =
        new QDBusServiceWatcher(QLatin1String(kService), m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) {
                ++m_generation;
                if (newOwner.isEmpty())
                    setActive(false);
                else
                    read();
            });
    read();
}

void GnomeNightLight::read()
{
    using namespace mutter;
    QDBusMessage message = QDBusMessage::createMethodCall(QLatin1String(kService), QLatin1String(kPath),
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
    message << QLatin1String(kInterface) << QLatin1String(kProperty);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, m_callTimeoutMs), this);
    const int generation = m_generation;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, generation](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        if (generation != m_generation)
            return;
        const QDBusMessage reply = call->reply();
        if (reply.type() != QDBusMessage::ReplyMessage) {
            // Without the colour service there is no Night Light; say nothing of it.
            if (!isGone(reply.errorName()))
                m_note(m_log, QStringLiteral("GNOME's colour service does not tell whether Night Light is on (%1)")
                                  .arg(errorText(reply)));
            return;
        }
        use(reply.arguments().value(0), QStringLiteral("its answer"));
    });
}

void GnomeNightLight::propertiesChanged(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (arguments.value(0).toString() != QLatin1String(kInterface))
        return;
    if (const std::optional<QVariantMap> changed = bus::propertyMap(arguments.value(1));
        changed && changed->contains(QLatin1String(kProperty)))
        use(changed->value(QLatin1String(kProperty)), QStringLiteral("its change"));
    else if (arguments.value(2).toStringList().contains(QLatin1String(kProperty)))
        read();
}

void GnomeNightLight::use(const QVariant &value, const QString &origin)
{
    const QVariant active = bus::unwrapped(value);
    if (active.userType() != QMetaType::Bool) {
        m_note(m_log, QStringLiteral("GNOME's colour service gives %1 in %2 as whether Night Light is on; taken as off")
                          .arg(bus::typeText(active), origin));
        setActive(false);
        return;
    }
    m_note(m_log, QString());
    setActive(active.toBool());
}

void GnomeNightLight::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    emit activeChanged(active);
}

} // namespace qv::host
