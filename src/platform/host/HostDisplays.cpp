#include "platform/host/HostDisplays.h"

#include "platform/host/MutterGamma.h"
#include "platform/host/NoGamma.h"
#include "platform/host/RandrGamma.h"
#include "platform/host/wayland/WaylandConnection.h"
#include "platform/host/wayland/WlrGamma.h"
#include "runtime/Files.h"
#include "runtime/Scheduler.h"

#include <QDBusConnectionInterface>

#include <algorithm>

namespace qv {

namespace {
// What identifies the monitor on an output: its EDID's vendor, product and serial (the
// serial text where the method knows only texts).
QString monitorIdentity(const EdidInfo &edid)
{
    if (!edid.valid)
        return {};
    QString identity = QStringLiteral("%1-%2-%3")
                           .arg(edid.vendor, 4, 16, QLatin1Char('0'))
                           .arg(edid.model, 4, 16, QLatin1Char('0'))
                           .arg(edid.serial, 8, 16, QLatin1Char('0'));
    if (!edid.serialText.isEmpty() && edid.vendor == 0 && edid.model == 0 && edid.serial == 0)
        identity += QLatin1Char('-') + QString(edid.serialText).replace(QLatin1Char('\n'), QLatin1Char('/'));
    return identity;
}

// What the page and the log say where the desktop offers no way to set the screens' ramps
// (the page adds whether the comfort veil is shown in their place).
const QString kNoClientGamma = QStringLiteral("This desktop does not let applications set the screens' gamma.");
} // namespace

HostDisplays::HostDisplays(Options options, QObject *parent)
    : HostDisplays(std::make_unique<host::RandrGamma>(host::RandrGamma::Options{
                       options.displayName, options.connection,
                       options.waylandSession
                           ? QStringLiteral("Gamma ramps set through XWayland do not reach the screens of a Wayland "
                                            "session")
                           : QString()}),
                   GammaRestoreFile::serverOfDisplay(options.displayName.isEmpty() ? qEnvironmentVariable("DISPLAY")
                                                                                   : options.displayName),
                   options.restoreFilePath, parent)
{
}

HostDisplays::HostDisplays(std::unique_ptr<host::GammaMethod> method, const QString &restoreServer,
                           const QString &restoreFilePath, QObject *parent)
    : QObject(parent), m_method(std::move(method)), m_server(restoreServer),
      m_restoreFile(restoreFilePath.isEmpty() && !m_method->compositorRestores()
                        ? GammaRestoreFile::pathForServer(restoreServer, &m_keepProblem)
                        : restoreFilePath),
      m_user(GammaOriginals::newUser())
{
    if (keepsOriginals()) {
        // Writes of ours that a kill interrupted leave nothing behind.
        if (restoreFilePath.isEmpty() && m_keepProblem.isEmpty())
            GammaRestoreFile::removeStaleTemporaryFiles();
        if (!m_keepProblem.isEmpty())
            m_log.error("No private folder to keep the original gamma ramps in (%s); the displays' transfer "
                        "formulas are not applied",
                        qUtf8Printable(m_keepProblem));
    } else {
        m_keepProblem.clear();
    }
    connect(m_method.get(), &host::GammaMethod::layoutChanged, this, &HostDisplays::readLayout);
    connect(m_method.get(), &host::GammaMethod::writeFailed, this, &HostDisplays::writeFailed);
    connect(m_method.get(), &host::GammaMethod::rampRead, this, &HostDisplays::rampRead);
    // A method that knows its outputs or its trouble at once (RandR) starts now; the others
    // when their first layout is in.
    if (!m_method->layout().outputs.isEmpty() || !m_method->unavailableReason().isEmpty())
        readLayout();
}

HostDisplays::~HostDisplays()
{
    // The ramps put back reach the server, and the reads that settle them come in, before
    // the method goes; what it says while it goes is no news for us.
    if (m_method) {
        m_method->settle();
        m_method->disconnect(this);
        // A server that did not answer in time may still take the originals sent back; until
        // a read shows them, the file keeps them.
        QStringList unseen;
        for (auto it = m_putBack.cbegin(); it != m_putBack.cend(); ++it)
            unseen << crtcNames(it.key());
        unseen.sort();
        if (!unseen.isEmpty())
            m_log.error("The original gamma ramps sent back to %s were not seen on the screens before quitting; %s "
                        "keeps them and the next start puts them back",
                        qUtf8Printable(unseen.join(QStringLiteral(", "))), qUtf8Printable(m_restoreFile.path()));
    }
    m_method.reset();
    GammaOriginals::endUser(m_user);
}

HostDisplays::Session HostDisplays::Session::current()
{
    return Session{qEnvironmentVariable("XDG_SESSION_TYPE"), qEnvironmentVariable("WAYLAND_DISPLAY"),
                   qEnvironmentVariable("DISPLAY"), QDBusConnection::sessionBus()};
}

HostDisplays::Method HostDisplays::chooseMethod(bool waylandSession, bool gnomeOnBus, bool waylandSocket)
{
    if (!waylandSession)
        return Method::randr;
    if (gnomeOnBus)
        return Method::gnome;
    return waylandSocket ? Method::wlroots : Method::none;
}

std::unique_ptr<HostDisplays> HostDisplays::forSession(const Session &session)
{
    Logger log("HostDisplays");
    const bool wayland = session.sessionType == QLatin1String("wayland") || !session.waylandDisplay.isEmpty();
    // Both asked of the bus daemon or the socket, which answer at once; nothing waits on
    // the compositor's display configuration.
    bool gnome = false;
    if (wayland && session.bus.isConnected() && session.bus.interface())
        gnome = session.bus.interface()->isServiceRegistered(QString::fromLatin1(host::MutterGamma::kService)).value();
    std::unique_ptr<host::WaylandConnection> ownConnection;
    host::WaylandConnection *connection = nullptr;
    QString noSocket;
    if (wayland && !gnome) {
        connection = session.wayland;
        if (!connection) {
            ownConnection = std::make_unique<host::WaylandConnection>(session.waylandDisplay, log);
            connection = ownConnection.get();
        }
        if (!connection->isConnected()) {
            noSocket = connection->problem();
            connection = nullptr;
        }
    }
    switch (chooseMethod(wayland, gnome, connection != nullptr)) {
    case Method::randr:
        return std::make_unique<HostDisplays>(Options{session.xDisplay, false, {}, session.x});
    case Method::gnome: {
        // The kept ramps belong to the session's bus, which lives as long as the session.
        const QString busId = session.bus.interface()->call(QStringLiteral("GetId")).arguments().value(0).toString();
        auto displays = std::make_unique<HostDisplays>(std::make_unique<host::MutterGamma>(session.bus),
                                                       QStringLiteral("gnome-") + busId);
        displays->followNightLight(std::make_unique<host::GnomeNightLight>(session.bus));
        return displays;
    }
    case Method::wlroots: {
        auto method = std::make_unique<host::WlrGamma>(connection);
        if (ownConnection)
            ownConnection.release()->setParent(method.get()); // goes after the method's controls
        return std::make_unique<HostDisplays>(std::move(method), QString());
    }
    case Method::none:
        break;
    }
    // No method: the outputs as XWayland shows them, without ramps that reach the screens.
    QString reason = kNoClientGamma;
    if (!noSocket.isEmpty())
        reason += QStringLiteral(" (%1.)").arg(noSocket);
    return std::make_unique<HostDisplays>(
        std::make_unique<host::NoGamma>(reason, std::make_unique<host::RandrGamma>(
                                                    host::RandrGamma::Options{session.xDisplay, session.x, reason})),
        QString());
}

void HostDisplays::followNightLight(std::unique_ptr<host::GnomeNightLight> nightLight)
{
    m_nightLight = std::move(nightLight);
    if (m_nightLight)
        connect(m_nightLight.get(), &host::GnomeNightLight::activeChanged, this,
                &HostDisplays::transferFormulaNoteChanged);
    emit transferFormulaNoteChanged();
}

bool HostDisplays::keepsOriginals() const
{
    return !m_method->compositorRestores();
}

QString HostDisplays::limitationText() const
{
    return m_method->unavailableReason();
}

DisplayResult HostDisplays::displayResult(const Result &result)
{
    using S = DisplayResult::Status;
    switch (result.status) {
    case Status::ok:
    case Status::stale: return {}; // written once the layout is read again
    case Status::unknownCrtc: return {S::noDisplay, result.reason, std::nullopt};
    case Status::wrongSize: return {S::noRamp, result.reason, std::nullopt};
    case Status::refused: return {S::refused, result.reason, std::nullopt};
    case Status::gone: return {S::unavailable, result.reason, std::nullopt};
    }
    return {S::refused, result.reason, std::nullopt};
}

void HostDisplays::readLayout()
{
    Q_ASSERT(isMainThread());
    Layout layout = layoutOf(m_method->layout());
    // A monitor that stays on its output while a twin of it arrives or leaves takes another
    // id and another name for its kept original: the store's values and the originals
    // follow it.
    QList<QPair<QString, QString>> renamed;
    for (Output &now : layout.outputs) {
        const auto old = std::find_if(m_layout.outputs.cbegin(), m_layout.outputs.cend(), [&](const Output &o) {
            return o.name == now.name && !now.monitor.isEmpty() && o.monitor == now.monitor
                   && edidMonitorText(o.edid) == edidMonitorText(now.edid);
        });
        if (old == m_layout.outputs.cend())
            continue;
        now.previousId = old->id != now.id ? old->id : old->previousId;
        if (old->keptAs != now.keptAs)
            renamed << qMakePair(old->keptAs, now.keptAs);
        if (old->id != now.id)
            m_log.info("Display %u on %s is now %u: %s", old->id, qUtf8Printable(now.name), now.id,
                       now.loneId ? "a twin of its monitor is connected" : "no twin of its monitor is connected now");
    }
    const QString reason = m_method->unavailableReason();
    const QString mark = keepsOriginals() ? m_method->serverMark() : QString();
    QList<QPair<DisplayId, quint32>> changes;
    QList<ReconfigurationCallback> callbacks;
    QHash<DisplayId, TransferFormula> again;
    const Layout &before = m_layout;
    for (const Output &now : std::as_const(layout.outputs)) {
        const auto old = std::find_if(before.outputs.begin(), before.outputs.end(),
                                      [&](const Output &o) { return o.id == now.id; });
        if (old == before.outputs.end()) {
            changes << qMakePair(now.id, quint32(kDisplayAddFlag | kDisplayEnabledFlag
                                                 | kDisplayDesktopShapeChangedFlag));
            continue;
        }
        quint32 flags = 0;
        if (old->pixelsWide != now.pixelsWide || old->pixelsHigh != now.pixelsHigh
            || (old->currentMode < 0) != (now.currentMode < 0)
            || (now.currentMode >= 0 && old->currentMode >= 0
                && old->modes.value(old->currentMode) != now.modes.value(now.currentMode)))
            flags |= kDisplaySetModeFlag | kDisplayDesktopShapeChangedFlag;
        if (old->position != now.position)
            flags |= kDisplayMovedFlag;
        // A new CRTC, or one that has a ramp now, needs its formula.
        if (old->crtc != now.crtc || before.gammaSizes.value(old->crtc) != layout.gammaSizes.value(now.crtc))
            flags |= kDisplaySetModeFlag;
        const bool wasMirrored = isMirroredIn(before, *old), isMirrored = isMirroredIn(layout, now);
        if (wasMirrored != isMirrored)
            flags |= isMirrored ? kDisplayMirrorFlag : kDisplayUnMirrorFlag;
        if ((before.main == now.id) != (layout.main == now.id))
            flags |= kDisplaySetMainFlag;
        if (flags)
            changes << qMakePair(now.id, flags);
    }
    for (const Output &old : before.outputs) {
        if (std::none_of(layout.outputs.begin(), layout.outputs.end(), [&](const Output &o) { return o.id == old.id; }))
            changes << qMakePair(old.id, quint32(kDisplayRemoveFlag | kDisplayDisabledFlag
                                                 | kDisplayDesktopShapeChangedFlag));
    }
    // A display whose CRTC has a usable ramp now (a read that went unanswered is in, a
    // refused control was given) takes the formula it was last given at once.
    for (const Output &now : std::as_const(layout.outputs)) {
        const auto old = std::find_if(before.outputs.cbegin(), before.outputs.cend(),
                                      [&](const Output &o) { return o.id == now.id; });
        if (old != before.outputs.cend() && !isUsableGammaRampSize(before.gammaSizes.value(old->crtc))
            && isUsableGammaRampSize(layout.gammaSizes.value(now.crtc)) && m_formulas.contains(now.id)
            && !m_again.contains(now.id))
            m_again.insert(now.id, m_formulas.value(now.id));
    }
    m_layout = std::move(layout);
    // A CRTC that was switched off and on again may hold another ramp than we wrote.
    m_lastWritten.clear();
    m_keepProblem.clear();
    m_logged.removeIf([](const QString &key) { return key.startsWith(QLatin1String("gone ")); });
    // A failure is the page's while its output is there without a usable ramp.
    m_failed.removeIf([this](const auto &failed) {
        return m_layout.gammaSizes.contains(failed.key())
               || std::none_of(m_layout.outputs.cbegin(), m_layout.outputs.cend(),
                               [&](const Output &o) { return o.crtc == failed.key(); });
    });
    // A compositor started again holds its own ramps: nothing kept under the old one
    // goes back on it.
    if (!m_serverMark.isEmpty() && !mark.isEmpty() && mark != m_serverMark) {
        m_log.info("The compositor was started again; the original gamma ramps kept before are dropped");
        m_originals = GammaOriginals();
        m_ours.clear();
        m_putBack.clear();
    }
    if (!mark.isEmpty())
        m_serverMark = mark;
    if (!renamed.isEmpty() && keepsOriginals())
        renameKeptOriginals(renamed);
    again = std::exchange(m_again, {});
    callbacks = m_callbacks.values();
    if (!m_announced && (!m_layout.outputs.isEmpty() || !reason.isEmpty())) {
        m_announced = true;
        if (reason.isEmpty())
            m_log.info("Displays: gamma through %s", qUtf8Printable(m_method->methodName()));
        else if (m_method->isNone())
            m_log.info("Displays: no gamma method: %s", qUtf8Printable(reason));
        else
            m_log.info("Displays: no gamma through %s: %s", qUtf8Printable(m_method->methodName()),
                       qUtf8Printable(reason));
    }
    // What a process that was killed or crashed changed goes back before anything is applied.
    if (!m_restored && keepsOriginals() && !m_layout.gammaSizes.isEmpty()) {
        m_restored = true;
        restoreKeptRamps();
        readPutBack(m_putBack.keys());
    } else if (m_restored && keepsOriginals() && !m_originals.byOutputOnly().isEmpty()) {
        putBackLitByOutput();
        readPutBack(m_putBack.keys());
    }
    for (const auto &[display, flags] : std::as_const(changes)) {
        for (const ReconfigurationCallback &callback : std::as_const(callbacks))
            callback(display, flags);
    }
    // Formulas, or originals, that met a layout being read again reach it now.
    for (auto it = again.cbegin(); it != again.cend(); ++it)
        setTransferFormula(it.key(), it.value());
    if (std::exchange(m_restoreAgain, false) && m_formulas.isEmpty())
        restoreColorSyncSettings();
    emit transferFormulaNoteChanged();
}

HostDisplays::Layout HostDisplays::layoutOf(const host::GammaMethod::Layout &read)
{
    // Twins: monitors that share what their EDIDs say (a matched pair without serials, or
    // with equal ones) are told apart by their connectors, among every connected monitor,
    // switched off ones included, so that switching one off changes nothing for the other.
    // A display's id is its monitor's alone where no other connected monitor shares it, and
    // the monitor's with the connector's name where one does; a twin left alone (the other
    // one unplugged) takes its monitor's own id again, the one it has whenever it is alone
    // (readLayout() tells the id each had before, for the values that follow it). The
    // kept originals tell twins apart the same way, by their coarser identity (serial texts
    // left out: files of earlier versions name monitors so).
    QHash<QString, int> texts, identities;
    for (const QList<host::GammaMethod::Output> *list : {&read.outputs, &read.dark}) {
        for (const host::GammaMethod::Output &output : *list) {
            if (const QString text = edidMonitorText(output.edid); !text.isEmpty())
                ++texts[text];
            if (const QString identity = monitorIdentity(output.edid); !identity.isEmpty())
                ++identities[identity];
        }
    }
    Layout layout;
    layout.gammaSizes = read.gammaSizes;
    QList<quint32> taken;
    for (const host::GammaMethod::Output &from : read.outputs) {
        Output output;
        const QString text = edidMonitorText(from.edid);
        const bool twin = !text.isEmpty() && texts.value(text) > 1;
        output.id = monitorDisplayId(from.edid, from.name, twin);
        // Two ids the same by chance: the second one takes its connector along.
        if (taken.contains(output.id) && !twin)
            output.id = monitorDisplayId(from.edid, from.name, true);
        if (twin)
            output.loneId = monitorDisplayId(from.edid, from.name);
        else if (!text.isEmpty())
            output.twinId = monitorDisplayId(from.edid, from.name, true);
        taken << output.id;
        output.formerId = from.formerId;
        output.name = from.name;
        output.crtc = from.crtc;
        output.builtIn = from.builtIn;
        output.edid = from.edid;
        output.monitor = monitorIdentity(from.edid);
        output.keptAs = identities.value(output.monitor) > 1
                            ? output.monitor + QStringLiteral(" on ") + output.name
                            : output.monitor;
        output.modes = from.modes;
        output.currentMode = from.currentMode;
        output.position = from.position;
        output.pixelsWide = from.pixelsWide;
        output.pixelsHigh = from.pixelsHigh;
        if (from.primary && !layout.main)
            layout.main = output.id;
        layout.outputs << output;
    }
    if (!layout.main && !layout.outputs.isEmpty())
        layout.main = layout.outputs.first().id;
    return layout;
}

void HostDisplays::reloadConfiguration()
{
    // The method says layoutChanged() when it has read it (RandR at once).
    m_method->refresh();
}

void HostDisplays::screensDidWake()
{
    Q_ASSERT(isMainThread());
    // Sleep, a VT switch or a mode set may have reset the CRTCs: the formula is written again.
    m_lastWritten.clear();
    m_keepProblem.clear();
}

void HostDisplays::managersChanged()
{
    Q_ASSERT(isMainThread());
    // A manager resets the ramps as it starts, soon after it takes its selection or later
    // (a compositor once it composites): looked at a few times.
    for (TaskHandle &check : m_rampChecks)
        check.cancel();
    m_rampChecks.clear();
    for (const qint64 delayMs : {0, 400, 1500, 4000})
        m_rampChecks << scheduler().after(delayMs, this, [this] { rewriteChangedRamps(); });
}

void HostDisplays::rewriteChangedRamps()
{
    QStringList rewritten;
    for (const Output &output : std::as_const(m_layout.outputs)) {
        const auto formula = m_formulas.constFind(output.id);
        const auto ours = m_ours.constFind(output.crtc);
        if (formula == m_formulas.cend() || ours == m_ours.cend())
            continue;
        const std::optional<GammaRamp> current = m_method->currentRamp(output.crtc);
        if (!current || *current == *ours)
            continue;
        // The original kept before stays: apply() finds it and lays the formula over it.
        m_lastWritten.remove(output.crtc);
        if (apply(output.id, *formula).ok())
            rewritten << output.name;
    }
    if (!rewritten.isEmpty())
        m_log.info("The gamma ramps of %s were changed as a window manager took over; their formulas are written "
                   "again",
                   qUtf8Printable(rewritten.join(QStringLiteral(", "))));
}

void HostDisplays::writeFailed(quint32 crtc, const QString &reason)
{
    Q_ASSERT(isMainThread());
    // The method logged it; the page says it until the output goes.
    m_lastWritten.remove(crtc);
    m_failed.insert(crtc, reason);
    // What the CRTC should show is written again once the layout is read again (a stale
    // serial); a CRTC the method leaves out then takes nothing.
    for (const Output &output : std::as_const(m_layout.outputs)) {
        if (output.crtc == crtc && m_formulas.contains(output.id))
            m_again.insert(output.id, m_formulas.value(output.id));
    }
    emit transferFormulaNoteChanged();
}

void HostDisplays::rampRead(quint32 crtc, const GammaRamp &ramp)
{
    Q_ASSERT(isMainThread());
    // What the CRTC shows was set: a failure said on the page is over.
    if (m_lastWritten.value(crtc) == ramp && m_failed.remove(crtc))
        emit transferFormulaNoteChanged();
    if (const auto putBack = m_putBack.constFind(crtc); putBack != m_putBack.cend() && *putBack == ramp)
        settle(crtc);
}

void HostDisplays::settle(quint32 crtc)
{
    m_putBack.remove(crtc);
    const GammaRestoreFile::Lock fileLock(m_restoreFile);
    GammaOriginals originals;
    QString error;
    if (!readOriginals(&originals, &error))
        return; // kept as it is: the next start puts the original back again
    // While another copy runs, the CRTC is that copy's to put back.
    const bool another = originals.heldByAnotherRunning(crtc, m_user);
    originals.release(crtc, m_user);
    if (!another)
        originals.drop(crtc);
    if (!writeOriginals(originals, &error)) {
        m_log.error("Could not update the kept gamma ramps in %s: %s", qUtf8Printable(m_restoreFile.path()),
                    qUtf8Printable(error));
        return;
    }
    m_originals = originals;
}

void HostDisplays::askForLayout()
{
    const qint64 now = scheduler().monotonicMs();
    if (m_layoutAskedAt && now - *m_layoutAskedAt < kChangeGapMs)
        return;
    m_layoutAskedAt = now;
    m_method->askLayoutAgain();
}

void HostDisplays::logOnce(const QString &key, const QString &message) const
{
    if (m_logged.contains(key))
        return;
    m_logged.insert(key);
    m_log.info("%s", qUtf8Printable(message));
}

bool HostDisplays::isMirroredIn(const Layout &layout, const Output &output)
{
    // Mirrored outputs show the same area of the screen: on one CRTC, or, as most drivers
    // do it, on CRTCs of the same position and size.
    return std::any_of(layout.outputs.cbegin(), layout.outputs.cend(), [&](const Output &other) {
        return other.id != output.id
               && ((other.crtc != 0 && other.crtc == output.crtc)
                   || (other.position == output.position && other.pixelsWide == output.pixelsWide
                       && other.pixelsHigh == output.pixelsHigh));
    });
}

std::optional<DisplayId> HostDisplays::formerDisplayId(DisplayId display)
{
    const Output *output = findOutput(display);
    return output && output->formerId ? std::optional<DisplayId>(output->formerId) : std::nullopt;
}

std::optional<DisplayId> HostDisplays::loneDisplayId(DisplayId display)
{
    const Output *output = findOutput(display);
    return output && output->loneId ? std::optional<DisplayId>(output->loneId) : std::nullopt;
}

std::optional<DisplayId> HostDisplays::previousDisplayId(DisplayId display)
{
    const Output *output = findOutput(display);
    return output && output->previousId ? std::optional<DisplayId>(output->previousId) : std::nullopt;
}

std::optional<DisplayId> HostDisplays::twinDisplayId(DisplayId display)
{
    const Output *output = findOutput(display);
    return output && output->twinId ? std::optional<DisplayId>(output->twinId) : std::nullopt;
}

void HostDisplays::renameKeptOriginals(const QList<QPair<QString, QString>> &renamed)
{
    // The name without the port would otherwise stay with the first twin's original, and
    // the twin left alone later would take that original for its own.
    const GammaRestoreFile::Lock fileLock(m_restoreFile);
    GammaOriginals originals;
    QString error;
    if (!readOriginals(&originals, &error)) {
        m_log.error("Could not read the kept gamma ramps in %s to follow a twin: %s",
                    qUtf8Printable(m_restoreFile.path()), qUtf8Printable(error));
        return;
    }
    bool changed = false;
    for (const auto &[from, to] : renamed)
        changed = originals.renameMonitor(from, to) || changed;
    if (!changed)
        return;
    if (!writeOriginals(originals, &error)) {
        m_log.error("Could not update the kept gamma ramps in %s: %s", qUtf8Printable(m_restoreFile.path()),
                    qUtf8Printable(error));
        return;
    }
    m_originals = originals;
}

int HostDisplays::gammaRampSize(DisplayId display) const
{
    const Output *output = findOutput(display);
    return output ? m_layout.gammaSizes.value(output->crtc) : 0;
}

std::optional<GammaRamp> HostDisplays::currentGammaRamp(DisplayId display)
{
    const Output *output = findOutput(display);
    if (!output)
        return std::nullopt;
    return m_method->currentRamp(output->crtc);
}

bool HostDisplays::transferFormulasReachScreens()
{
    Q_ASSERT(isMainThread());
    if (!m_method->unavailableReason().isEmpty())
        return false;
    return m_keepProblem.isEmpty();
}

bool HostDisplays::takesTransferFormula(DisplayId display)
{
    Q_ASSERT(isMainThread());
    const Output *output = findOutput(display);
    return output && transferFormulasReachScreens() && !m_refused.contains(display)
           && isUsableGammaRampSize(m_layout.gammaSizes.value(output->crtc)) && !m_failed.contains(output->crtc);
}

QString HostDisplays::transferFormulaNote()
{
    Q_ASSERT(isMainThread());
    QStringList parts;
    if (const QString reason = m_method->unavailableReason(); !reason.isEmpty()) {
        parts << reason;
    } else {
        if (!m_keepProblem.isEmpty())
            parts << QStringLiteral("The display's formula is not applied: the original colours could not be kept "
                                    "first, so they could not be put back after a crash (%1).")
                         .arg(m_keepProblem);
        for (auto it = m_failed.cbegin(); it != m_failed.cend(); ++it)
            parts << it.value();
    }
    if (m_nightLight && m_nightLight->active())
        parts << QString::fromLatin1(host::GnomeNightLight::kText);
    for (QString &part : parts) {
        if (!part.endsWith(QLatin1Char('.')))
            part += QLatin1Char('.');
    }
    // CRTCs held back for one cause say it once.
    parts.removeDuplicates();
    return parts.join(QLatin1Char(' '));
}

DisplayResult HostDisplays::writeGammaRamp(DisplayId display, const GammaRamp &ramp)
{
    const Output *output = findOutput(display);
    if (!output)
        return displayResult({Status::unknownCrtc, QStringLiteral("Display %1 is not connected").arg(display)});
    return displayResult(writeRamp(output->crtc, ramp));
}

HostDisplays::Result HostDisplays::writeRamp(quint32 crtc, const GammaRamp &ramp)
{
    const Result result = m_method->writeRamp(crtc, ramp);
    if (!result.ok()) {
        m_lastWritten.remove(crtc);
        // A layout being read again takes the formula when it is in; anything else is said
        // once per CRTC and kind until the layout changes.
        if (result.status != Status::stale) {
            const QString key = QStringLiteral("gone write %1 %2").arg(crtc).arg(int(result.status));
            logOnce(key, QStringLiteral("Could not set the gamma ramp of %1: %2").arg(crtcNames(crtc), result.reason));
        }
        return result;
    }
    m_lastWritten.insert(crtc, ramp);
    m_ours.insert(crtc, ramp);
    m_putBack.remove(crtc);
    return result;
}

bool HostDisplays::readOriginals(GammaOriginals *originals, QString *error) const
{
    // A file of a server that has ended since holds nothing for this one.
    QList<SavedGammaRamp> entries;
    QString mark;
    const GammaRestoreFile::State state = m_restoreFile.read(m_server, &mark, &entries, error);
    if (state == GammaRestoreFile::State::corrupt)
        return false;
    *originals = GammaOriginals(state == GammaRestoreFile::State::read && mark == m_serverMark ? entries
                                                                                                : QList<SavedGammaRamp>{});
    return true;
}

bool HostDisplays::writeOriginals(const GammaOriginals &originals, QString *error) const
{
    if (originals.isEmpty()) {
        m_restoreFile.remove();
        return true;
    }
    return m_restoreFile.write(m_server, m_serverMark, originals.entries(), error);
}

HostDisplays::Result HostDisplays::keepOriginal(quint32 crtc, int size, DisplayId display)
{
    // Another copy of ours may have kept this CRTC's original: the tint on it now is that
    // copy's, never an original.
    const GammaRestoreFile::Lock fileLock(m_restoreFile);
    GammaOriginals originals;
    QString error;
    if (!readOriginals(&originals, &error)) {
        m_keepProblem = QStringLiteral("%1 cannot be read: %2").arg(m_restoreFile.path(), error);
        m_log.error("Could not keep the original gamma ramps: %s; the displays' transfer formulas are not applied",
                    qUtf8Printable(m_keepProblem));
        return {Status::gone, m_keepProblem};
    }
    std::optional<GammaRamp> current;
    if (!originals.knowsCrtc(crtc)) {
        current = m_method->currentRamp(crtc);
        if (!current || current->size() != size) {
            logOnce(QStringLiteral("gone read %1").arg(crtc),
                    QStringLiteral("Could not read the gamma ramp of %1 for display %2; its transfer formula is not "
                                   "applied until it can be read")
                        .arg(m_method->crtcName(crtc))
                        .arg(display));
            return {Status::refused, QStringLiteral("The gamma ramp of %1 could not be read").arg(crtcNames(crtc))};
        }
    }
    originals.keep(crtc, shownOn(crtc), current.value_or(GammaRamp{}), m_user);
    if (!writeOriginals(originals, &error)) {
        m_keepProblem = error;
        m_log.error("Could not keep the original gamma ramps%s (%s); the displays' transfer formulas are "
                    "not applied",
                    m_restoreFile.path().isEmpty() ? ""
                                                   : qUtf8Printable(QStringLiteral(" in ") + m_restoreFile.path()),
                    qUtf8Printable(error));
        return {Status::gone, m_keepProblem};
    }
    m_originals = originals;
    return {};
}

DisplayResult HostDisplays::setTransferFormula(DisplayId display, const TransferFormula &formula)
{
    if (const QString reason = m_method->unavailableReason(); !reason.isEmpty()) {
        askForLayout();
        return displayResult({Status::gone, reason});
    }
    const Output *output = findOutput(display);
    if (!output) {
        // Once per display until the configuration changes: an animation keeps asking.
        logOnce(QStringLiteral("gone %1").arg(display),
                QStringLiteral("Display %1 is not connected; its transfer formula is not applied").arg(display));
        return displayResult({Status::unknownCrtc, QStringLiteral("Display %1 is not connected").arg(display)});
    }
    m_formulas.insert(display, formula);
    const qint64 now = scheduler().monotonicMs();
    const auto last = m_formulaAt.constFind(display);
    const bool newChange = last == m_formulaAt.cend() || now - *last >= kChangeGapMs;
    m_formulaAt.insert(display, now);
    const Result result = apply(display, formula, newChange);
    // The layout is being read again: the formula goes to what it finds.
    if (result.status == Status::stale) {
        m_again.insert(display, formula);
    } else if (const bool refused = !result.ok(); refused != m_refused.contains(display)) {
        // The display takes formulas now, or no longer.
        if (refused)
            m_refused.insert(display);
        else
            m_refused.remove(display);
        emit transferFormulaNoteChanged();
    }
    return displayResult(result);
}

HostDisplays::Result HostDisplays::apply(DisplayId display, const TransferFormula &formula, bool newChange)
{
    const Output *output = findOutput(display);
    const quint32 crtc = output->crtc;
    const int size = m_layout.gammaSizes.value(crtc);
    if (!isUsableGammaRampSize(size)) {
        // The method said why where it knows (a refused control, a read not answered), and
        // asks again at the user's next change, not at every frame of its fade; else once here.
        if (m_failed.contains(crtc)) {
            if (newChange)
                m_method->askAgain(crtc);
        } else {
            const QString key = QStringLiteral("size %1 %2").arg(crtc).arg(size);
            if (!m_logged.contains(key)) {
                m_logged.insert(key);
                m_log.info("%s of display %u has no usable gamma ramp (%d entries); its transfer formula is not "
                           "applied",
                           qUtf8Printable(output->name), display, size);
            }
        }
        return {Status::wrongSize, m_failed.value(crtc)};
    }
    // What goes back on the CRTC, for every monitor it shows, is kept before the first
    // change reaches the screen, so that a kill cannot lose it; the formula is laid over
    // it, so that a calibration loaded before (colord, xcalib) shines through.
    std::optional<GammaRamp> original;
    if (keepsOriginals()) {
        if (!m_keepProblem.isEmpty())
            return {Status::gone, m_keepProblem};
        if (!m_originals.covers(crtc, shownOn(crtc), m_user)) {
            if (const Result kept = keepOriginal(crtc, size, display); !kept.ok())
                return kept;
        }
        original = m_originals.rampFor(crtc, shownOn(crtc), size);
    }
    // Where the compositor keeps the original, the formula alone.
    const GammaRamp ramp = original && original->size() == size ? gammaRampOverOriginal(formula, *original)
                                                                 : gammaRampForFormula(formula, size);
    // Mirrored outputs share a CRTC: one write per ramp is enough.
    if (m_lastWritten.value(crtc) == ramp)
        return {};
    return writeRamp(crtc, ramp);
}

DisplayResult HostDisplays::resetTransferFormula(DisplayId display)
{
    if (const QString reason = m_method->unavailableReason(); !reason.isEmpty())
        return displayResult({Status::gone, reason});
    const Output *output = findOutput(display);
    if (!output)
        return displayResult({Status::unknownCrtc, QStringLiteral("Display %1 is not connected").arg(display)});
    m_formulas.remove(display);
    m_again.remove(display);
    const quint32 crtc = output->crtc;
    const int size = m_layout.gammaSizes.value(crtc);
    if (!keepsOriginals()) {
        // The compositor holds the original; what we wrote gives way to a neutral ramp.
        if (!m_ours.contains(crtc) || !isUsableGammaRampSize(size))
            return {};
        const GammaRamp neutral = gammaRampForFormula(TransferFormula::identity(), size);
        return m_lastWritten.value(crtc) == neutral ? DisplayResult{} : displayResult(writeRamp(crtc, neutral));
    }
    // A CRTC whose ramp we never changed still shows its own.
    if (!m_originals.heldBy(crtc, m_user))
        return {};
    const std::optional<GammaRamp> original = m_originals.rampFor(crtc, shownOn(crtc), size);
    if (!original || m_lastWritten.value(crtc) == *original)
        return {};
    if (original->size() != size)
        return displayResult({Status::wrongSize, QStringLiteral("The kept original of %1 has %2 entries, the ramp %3")
                                                     .arg(crtcNames(crtc))
                                                     .arg(original->size())
                                                     .arg(size)});
    // A ramp another program set since our last write is left as it is.
    if (const auto ours = m_ours.constFind(crtc); ours != m_ours.cend()) {
        const std::optional<GammaRamp> current = m_method->currentRamp(crtc);
        if (current && *current != *ours) {
            const QString name = output->name;
            logOnce(QStringLiteral("foreign %1").arg(name),
                    QStringLiteral("The gamma ramp of output %1 was set by another program since; it is left as it is")
                        .arg(name));
            return {};
        }
    }
    return displayResult(writeRamp(crtc, *original));
}

void HostDisplays::restoreKeptRamps()
{
    if (m_restoreFile.path().isEmpty())
        return;
    const GammaRestoreFile::Lock fileLock(m_restoreFile);
    QList<SavedGammaRamp> entries;
    QString error, mark;
    const GammaRestoreFile::State state = m_restoreFile.read(m_server, &mark, &entries, &error);
    if (state == GammaRestoreFile::State::absent)
        return;
    if (state == GammaRestoreFile::State::corrupt) {
        // Kept aside, never read as ramps and never written over.
        QString moveError;
        const QString aside = files::moveAside(m_restoreFile.path(), &moveError);
        m_log.error("Ignoring the kept gamma ramps in %s: %s; %s", qUtf8Printable(m_restoreFile.path()),
                    qUtf8Printable(error),
                    qUtf8Printable(aside.isEmpty() ? QStringLiteral("it could not be moved aside: ") + moveError
                                                   : QStringLiteral("it is moved aside to ") + aside));
        return;
    }
    if (mark != m_serverMark) {
        m_log.info("The kept gamma ramps in %s belong to a display server that has ended since; they are dropped",
                   qUtf8Printable(m_restoreFile.path()));
        m_restoreFile.remove();
        return;
    }
    GammaOriginals kept(entries);
    QStringList restored;
    QHash<quint32, GammaRamp> putBack;
    bool another = false;
    QHash<quint32, std::optional<GammaRamp>> chosen; // before any entry goes, as at quit
    for (const quint32 crtc : kept.crtcs())
        chosen.insert(crtc, kept.rampFor(crtc, shownOn(crtc), m_layout.gammaSizes.value(crtc)));
    for (const quint32 crtc : kept.crtcs()) {
        // A copy of ours that still runs puts back its own.
        if (kept.heldByAnotherRunning(crtc, m_user)) {
            another = true;
            continue;
        }
        const auto it = m_layout.gammaSizes.constFind(crtc);
        if (it == m_layout.gammaSizes.cend()) {
            m_log.info("%s of the kept gamma ramps is gone; its ramp waits until it is back",
                       qUtf8Printable(m_method->crtcName(crtc)));
            continue;
        }
        const std::optional<GammaRamp> original = chosen.value(crtc);
        if (!original || original->size() != *it) {
            kept.drop(crtc);
            m_log.info("Not putting back the kept gamma ramp of %s: it has %d entries, the CRTC %d",
                       qUtf8Printable(crtcNames(crtc)), original ? original->size() : 0, *it);
            continue;
        }
        // Kept until a read shows it back on the CRTC.
        const QString names = crtcNames(crtc);
        if (writeRamp(crtc, *original).ok()) {
            putBack.insert(crtc, *original);
            if (!restored.contains(names))
                restored << names;
        }
    }
    for (const QString &names : putBackByOutput(kept, putBack, true)) {
        if (!restored.contains(names))
            restored << names;
    }
    m_lastWritten.clear();
    m_ours.clear();
    m_originals = kept;
    if (!writeOriginals(kept, &error))
        m_log.error("Could not keep the original gamma ramps of absent outputs in %s: %s",
                    qUtf8Printable(m_restoreFile.path()), qUtf8Printable(error));
    m_putBack.insert(putBack);
    if (restored.isEmpty() && !another)
        m_log.info("Put back none of the gamma ramps a previous run left changed");
    else if (!restored.isEmpty())
        m_log.info("Put back the gamma ramp a previous run left changed on %s",
                   qUtf8Printable(restored.join(QStringLiteral(", "))));
}

QStringList HostDisplays::putBackByOutput(GammaOriginals &kept, QHash<quint32, GammaRamp> &putBack, bool atStart)
{
    // Ramps an older version kept by output go back where that output shows that monitor.
    QStringList restored;
    QList<SavedGammaRamp> done;
    for (const SavedGammaRamp &saved : kept.byOutputOnly()) {
        const Output *output = nullptr;
        for (const Output &o : std::as_const(m_layout.outputs)) {
            if (o.name == saved.output)
                output = &o;
        }
        if (!output || output->monitor != saved.monitor) {
            if (atStart)
                m_log.info("Output %s is %s; its kept gamma ramp waits until its monitor is lit there again",
                           qUtf8Printable(saved.output), output ? "showing another monitor" : "not lit");
            continue;
        }
        done << saved;
        if (m_layout.gammaSizes.value(output->crtc) != saved.ramp.size()) {
            m_log.info("Not putting back the kept gamma ramp of output %s: it has %d entries, the CRTC %d",
                       qUtf8Printable(saved.output), saved.ramp.size(), m_layout.gammaSizes.value(output->crtc));
            continue;
        }
        // On a CRTC whose own original is kept, the monitor's goes back at quit, not the CRTC's.
        kept.keepFor(output->crtc, ShownMonitor{output->name, output->keptAs}, saved.ramp);
        const bool awaited = putBack.contains(output->crtc);
        if (writeRamp(output->crtc, saved.ramp).ok()) {
            if (awaited)
                putBack.insert(output->crtc, saved.ramp);
            if (!restored.contains(saved.output))
                restored << saved.output;
        }
    }
    kept.dropByOutputOnly(done);
    return restored;
}

void HostDisplays::putBackLitByOutput()
{
    // Before any formula reaches the output lit now: the tint a killed run left on it is
    // no original.
    const GammaRestoreFile::Lock fileLock(m_restoreFile);
    GammaOriginals originals;
    QString error;
    if (!readOriginals(&originals, &error)) {
        logOnce(QStringLiteral("unreadable kept by output"),
                QStringLiteral("Could not read the kept gamma ramps in %1 for an output lit again: %2")
                    .arg(m_restoreFile.path(), error));
        return;
    }
    const QList<SavedGammaRamp> before = originals.entries();
    const QStringList restored = putBackByOutput(originals, m_putBack, false);
    if (originals.entries() != before && !writeOriginals(originals, &error))
        m_log.error("Could not update the kept gamma ramps in %s: %s", qUtf8Printable(m_restoreFile.path()),
                    qUtf8Printable(error));
    m_originals = originals;
    if (!restored.isEmpty())
        m_log.info("Put back the gamma ramp a previous run left changed on %s, lit again",
                   qUtf8Printable(restored.join(QStringLiteral(", "))));
}

void HostDisplays::readPutBack(const QList<quint32> &crtcs)
{
    // Outside the file's lock: a method that reads at once settles them now.
    for (const quint32 crtc : crtcs) {
        if (m_putBack.contains(crtc))
            m_method->readRamp(crtc);
    }
}


void HostDisplays::restoreColorSyncSettings()
{
    Q_ASSERT(isMainThread());
    // With no display known (the layout could not be read), the tuning's change ends here.
    if (m_layout.outputs.isEmpty() && !m_method->unavailableReason().isEmpty())
        askForLayout();
    m_formulas.clear();
    m_again.clear();
    m_restoreAgain = false;
    if (!keepsOriginals()) {
        // The compositor puts the originals back when we go; while we run, a neutral ramp
        // stands for them.
        for (auto it = m_ours.cbegin(); it != m_ours.cend(); ++it) {
            const int size = m_layout.gammaSizes.value(it.key());
            if (isUsableGammaRampSize(size))
                writeRamp(it.key(), gammaRampForFormula(TransferFormula::identity(), size));
        }
        m_ours.clear();
        m_lastWritten.clear();
        return;
    }
    // Switching the formulas off or on again tries to keep the originals anew.
    m_keepProblem.clear();
    QList<quint32> mine;
    QHash<quint32, GammaRamp> putBack;
    for (const quint32 crtc : m_originals.crtcs()) {
        if (m_originals.heldBy(crtc, m_user))
            mine << crtc;
    }
    if (!mine.isEmpty()) {
        const GammaRestoreFile::Lock fileLock(m_restoreFile);
        // The file holds what other copies kept since; one that cannot be read is not
        // written over, and what this instance kept still goes back.
        GammaOriginals originals;
        QString error;
        const bool readable = readOriginals(&originals, &error);
        if (!readable)
            originals = m_originals;
        // Every ramp is chosen before any entry goes: a monitor's original may have been
        // kept on another CRTC.
        QHash<quint32, std::optional<GammaRamp>> chosen;
        for (const quint32 crtc : std::as_const(mine)) {
            const QList<ShownMonitor> shown = shownOn(crtc);
            const int size = m_layout.gammaSizes.value(crtc);
            std::optional<GammaRamp> original = originals.rampFor(crtc, shown, size);
            chosen.insert(crtc, original ? original : m_originals.rampFor(crtc, shown, size));
        }
        for (const quint32 crtc : std::as_const(mine)) {
            const auto it = m_layout.gammaSizes.constFind(crtc);
            if (it == m_layout.gammaSizes.cend()) {
                m_log.info("%s is gone; its original gamma ramp waits for the next start",
                           qUtf8Printable(m_method->crtcName(crtc)));
                continue;
            }
            const std::optional<GammaRamp> &original = chosen[crtc];
            // Put back and shown by a read, the CRTC is settled for copies that ended too;
            // while another copy runs, it is that copy's to put back.
            const bool another = originals.heldByAnotherRunning(crtc, m_user);
            if (!original || original->size() != *it) {
                originals.release(crtc, m_user);
                m_log.info("%s has a gamma ramp of another size now; its original is not put back",
                           qUtf8Printable(crtcNames(crtc)));
                continue;
            }
            if (const auto ours = m_ours.constFind(crtc); ours != m_ours.cend()) {
                const std::optional<GammaRamp> current = m_method->currentRamp(crtc);
                if (current && *current != *ours) {
                    originals.release(crtc, m_user);
                    m_log.info("The gamma ramp of %s was set by another program since; it is left as it is",
                               qUtf8Printable(crtcNames(crtc)));
                    continue;
                }
            }
            // A write that fails keeps the original for the next try, or the next start; one
            // that meets a layout being read is tried again once it is in.
            if (const Result written = writeRamp(crtc, *original); !written.ok()) {
                m_restoreAgain = m_restoreAgain || written.status == Status::stale;
                continue;
            }
            if (another)
                originals.release(crtc, m_user);
            else
                putBack.insert(crtc, *original);
        }
        m_originals = originals;
        if (readable && !writeOriginals(originals, &error))
            m_log.error("Could not keep the original gamma ramps in %s: %s", qUtf8Printable(m_restoreFile.path()),
                        qUtf8Printable(error));
    }
    m_ours.clear();
    m_lastWritten.clear();
    m_putBack.insert(putBack);
    readPutBack(putBack.keys());
}


const HostDisplays::Output *HostDisplays::findOutput(DisplayId display) const
{
    Q_ASSERT(isMainThread());
    for (const Output &output : m_layout.outputs) {
        if (output.id == display)
            return &output;
    }
    return nullptr;
}

std::optional<DisplayId> HostDisplays::displayForOutputName(const QString &outputName) const
{
    for (const Output &output : m_layout.outputs) {
        if (output.name == outputName)
            return output.id;
    }
    return std::nullopt;
}

QString HostDisplays::outputName(DisplayId display) const
{
    const Output *output = findOutput(display);
    return output ? output->name : QString();
}

QRect HostDisplays::outputGeometry(DisplayId display) const
{
    const Output *output = findOutput(display);
    return output ? QRect(output->position, QSize(output->pixelsWide, output->pixelsHigh)) : QRect();
}

QString HostDisplays::monitorName(DisplayId display) const
{
    const Output *output = findOutput(display);
    return output ? output->edid.name : QString();
}

QString HostDisplays::screenName(DisplayId display) const
{
    const Output *output = findOutput(display);
    if (!output || output->edid.name.isEmpty())
        return {};
    const bool shared = std::any_of(m_layout.outputs.cbegin(), m_layout.outputs.cend(), [&](const Output &other) {
        return other.id != output->id && other.edid.name == output->edid.name;
    });
    return shared ? QStringLiteral("%1 (%2)").arg(output->edid.name, output->name) : output->edid.name;
}

QList<DisplayId> HostDisplays::activeDisplays()
{
    Q_ASSERT(isMainThread());
    QList<DisplayId> ids;
    for (const Output &output : std::as_const(m_layout.outputs))
        ids << output.id;
    return ids;
}

DisplayId HostDisplays::mainDisplay()
{
    Q_ASSERT(isMainThread());
    return m_layout.main;
}

bool HostDisplays::isBuiltin(DisplayId display)
{
    const Output *output = findOutput(display);
    return output && output->builtIn;
}

bool HostDisplays::isInMirrorSet(DisplayId display)
{
    const Output *output = findOutput(display);
    return output && isMirroredIn(m_layout, *output);
}

quint32 HostDisplays::vendorNumber(DisplayId display)
{
    const Output *output = findOutput(display);
    return output ? output->edid.vendor : 0;
}

quint32 HostDisplays::modelNumber(DisplayId display)
{
    const Output *output = findOutput(display);
    return output ? output->edid.model : 0;
}

quint32 HostDisplays::serialNumber(DisplayId display)
{
    const Output *output = findOutput(display);
    return output ? output->edid.serial : 0;
}

int HostDisplays::pixelsWide(DisplayId display)
{
    const Output *output = findOutput(display);
    return output ? output->pixelsWide : 0;
}

int HostDisplays::pixelsHigh(DisplayId display)
{
    const Output *output = findOutput(display);
    return output ? output->pixelsHigh : 0;
}

std::optional<DisplayMode> HostDisplays::currentMode(DisplayId display)
{
    const Output *output = findOutput(display);
    if (!output || output->currentMode < 0)
        return std::nullopt;
    return output->modes.value(output->currentMode);
}

QList<DisplayMode> HostDisplays::allModes(DisplayId display, bool)
{
    // The display servers report no scaled duplicates of a mode: the option changes nothing.
    const Output *output = findOutput(display);
    return output ? output->modes : QList<DisplayMode>{};
}

QList<ShownMonitor> HostDisplays::shownOn(quint32 crtc) const
{
    QList<ShownMonitor> shown;
    for (const Output &output : m_layout.outputs) {
        if (output.crtc == crtc)
            shown << ShownMonitor{output.name, output.keptAs};
    }
    return shown;
}

QString HostDisplays::crtcNames(quint32 crtc) const
{
    QStringList names;
    for (const ShownMonitor &shown : shownOn(crtc))
        names << shown.output;
    return names.isEmpty() ? QStringLiteral("%1 (switched off)").arg(m_method->crtcName(crtc))
                           : names.join(QStringLiteral(", "));
}

int HostDisplays::registerReconfigurationCallback(ReconfigurationCallback callback)
{
    Q_ASSERT(isMainThread());
    const int token = m_nextToken++;
    m_callbacks.insert(token, std::move(callback));
    return token;
}

void HostDisplays::removeReconfigurationCallback(int token)
{
    Q_ASSERT(isMainThread());
    m_callbacks.remove(token);
}


} // namespace qv
