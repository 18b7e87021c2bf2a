#include "platform/host/RandrDisplays.h"

#include "runtime/Files.h"

#include <QRandomGenerator>

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace qv {

namespace {
// Core Graphics error codes the formula calls answer with.
constexpr ResultCode kErrorFailure = 1000;
constexpr ResultCode kErrorIllegalArgument = 1001;
constexpr ResultCode kErrorCannotComplete = 1004;
constexpr ResultCode kErrorNoneAvailable = 1011;

// The mode I/O flags: valid for every mode, safe for the output's preferred ones.
constexpr quint32 kModeValidFlag = 0x1;
constexpr quint32 kModeSafeFlag = 0x2;

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

// What identifies the monitor on an output: its EDID's vendor, product and serial.
QString monitorIdentity(const EdidInfo &edid)
{
    if (!edid.valid)
        return {};
    return QStringLiteral("%1-%2-%3")
        .arg(edid.vendor, 4, 16, QLatin1Char('0'))
        .arg(edid.model, 4, 16, QLatin1Char('0'))
        .arg(edid.serial, 8, 16, QLatin1Char('0'));
}

// The root window property that marks the X server as the one that the kept ramps were
// read from; a server started again does not carry it.
constexpr char kServerMarkProperty[] = "_QUELLVISTA_SERVER_MARK";

bool isPanelConnectorName(const QString &name)
{
    for (const char *prefix : {"eDP", "LVDS", "DSI"}) {
        if (name.startsWith(QLatin1String(prefix), Qt::CaseInsensitive))
            return true;
    }
    return false;
}
} // namespace

RandrDisplays::RandrDisplays(Options options, QObject *parent)
    : QObject(parent), m_displayName(options.displayName.isEmpty() ? qEnvironmentVariable("DISPLAY")
                                                                   : options.displayName),
      m_server(GammaRestoreFile::serverOfDisplay(m_displayName)),
      m_restoreFile(options.restoreFilePath.isEmpty() ? GammaRestoreFile::pathForDisplay(m_displayName, &m_keepProblem)
                                                      : options.restoreFilePath),
      m_user(GammaOriginals::newUser())
{
    // Writes of ours that a kill interrupted leave nothing behind.
    if (options.restoreFilePath.isEmpty() && m_keepProblem.isEmpty())
        GammaRestoreFile::removeStaleTemporaryFiles();
    if (!m_keepProblem.isEmpty())
        m_log.error("No private folder to keep the original gamma ramps in (%s); the displays' transfer formulas "
                    "are not applied",
                    qUtf8Printable(m_keepProblem));
    m_x = new host::XConnection(m_displayName, m_log, this);
    if (!m_x->isConnected()) {
        m_limitation = Limitation::noServer;
        m_log.info("%s", qUtf8Printable(limitationText(m_limitation)));
        return;
    }
    xcb_connection_t *c = m_x->get();
    const xcb_query_extension_reply_t *randr = xcb_get_extension_data(c, &xcb_randr_id);
    const auto version = randr && randr->present
                             ? m_x->reply(xcb_randr_query_version_reply, xcb_randr_query_version(c, 1, 3),
                                          "asking the RandR version")
                             : nullptr;
    if (!version || version->major_version < 1 || (version->major_version == 1 && version->minor_version < 3)) {
        m_limitation = Limitation::noRandr;
        m_log.info("%s", qUtf8Printable(limitationText(m_limitation)));
        return;
    }
    m_randrEventBase = randr->first_event;
    m_edidAtom = m_x->atom("EDID");
    m_connectorTypeAtom = m_x->atom("ConnectorType");
    xcb_randr_select_input(c, m_x->root(),
                           XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE
                               | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE);
    xcb_flush(c);
    m_x->setEventHandler([this](const xcb_generic_event_t &event) {
        const quint8 type = event.response_type & 0x7f;
        if (type == m_randrEventBase + XCB_RANDR_SCREEN_CHANGE_NOTIFY || type == m_randrEventBase + XCB_RANDR_NOTIFY)
            scheduleReload();
    });
    connect(m_x, &host::XConnection::lost, this, [this] {
        logOnce(QStringLiteral("lost"), QStringLiteral("The connection to the X server was lost"));
    });

    {
        const Layout layout = queryLayout();
        QMutexLocker lock(&m_mutex);
        m_layout = layout;
    }
    // What a process that was killed or crashed changed goes back before anything is applied.
    m_serverMark = readServerMark();
    restoreKeptRamps();

    if (options.waylandSession) {
        m_limitation = Limitation::wayland;
    } else {
        QMutexLocker lock(&m_mutex);
        const bool anyGamma = std::any_of(m_layout.crtcs.cbegin(), m_layout.crtcs.cend(), [](const Crtc &crtc) {
            return !crtc.outputs.isEmpty() && isUsableGammaRampSize(crtc.gammaSize);
        });
        if (!anyGamma && !m_layout.outputs.isEmpty())
            m_limitation = Limitation::noGamma;
    }
    if (m_limitation != Limitation::none)
        m_log.info("%s", qUtf8Printable(limitationText(m_limitation)));
}

RandrDisplays::~RandrDisplays()
{
    GammaOriginals::endUser(m_user);
}

QString RandrDisplays::readServerMark()
{
    // The mark the server carries, or a new one for a server that carries none yet.
    const xcb_atom_t property = m_x->atom(kServerMarkProperty);
    if (property == XCB_ATOM_NONE)
        return {};
    xcb_connection_t *c = m_x->get();
    const auto reply = m_x->reply(xcb_get_property_reply,
                                  xcb_get_property(c, 0, m_x->root(), property, XCB_ATOM_STRING, 0, 16),
                                  "reading the server mark");
    if (reply && reply->type == XCB_ATOM_STRING && reply->format == 8 && xcb_get_property_value_length(reply.get()) > 0)
        return QString::fromLatin1(static_cast<const char *>(xcb_get_property_value(reply.get())),
                                   xcb_get_property_value_length(reply.get()));
    const QByteArray mark = QByteArray::number(QRandomGenerator::system()->generate64(), 16);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, m_x->root(), property, XCB_ATOM_STRING, 8, quint32(mark.size()),
                        mark.constData());
    xcb_flush(c);
    return QString::fromLatin1(mark);
}

RandrDisplays::Limitation RandrDisplays::limitation() const
{
    QMutexLocker lock(&m_mutex);
    return m_limitation;
}

QString RandrDisplays::limitationText(Limitation limitation)
{
    switch (limitation) {
    case Limitation::none:
        return {};
    case Limitation::wayland:
        return QStringLiteral("Gamma ramps set through XWayland do not reach the screens of a Wayland session; "
                              "only the comfort veil softens the picture");
    case Limitation::noServer:
        return QStringLiteral("No X server to reach; the displays' transfer formulas cannot be applied");
    case Limitation::noRandr:
        return QStringLiteral("The X server has no RandR 1.3; the displays' transfer formulas cannot be applied");
    case Limitation::noGamma:
        return QStringLiteral("The X server's CRTCs have no gamma ramps; the displays' transfer formulas "
                              "cannot be applied");
    }
    return {};
}

double RandrDisplays::refreshRate(quint32 dotClock, int hTotal, int vTotal, quint32 modeFlags)
{
    double lines = vTotal;
    if (modeFlags & XCB_RANDR_MODE_FLAG_DOUBLE_SCAN)
        lines *= 2;
    if (modeFlags & XCB_RANDR_MODE_FLAG_INTERLACE)
        lines /= 2;
    if (dotClock == 0 || hTotal <= 0 || lines <= 0)
        return 0;
    const double rate = double(dotClock) / (double(hTotal) * lines);
    return rate <= kMaxRefreshRate ? rate : 0;
}

RandrDisplays::Layout RandrDisplays::queryLayout()
{
    Layout layout;
    xcb_connection_t *c = m_x->get();
    const xcb_window_t root = m_x->root();
    const auto resources = m_x->reply(xcb_randr_get_screen_resources_current_reply, xcb_randr_get_screen_resources_current(c, root), "reading the screen resources");
    if (!resources)
        return layout;
    const auto primary = m_x->reply(xcb_randr_get_output_primary_reply, xcb_randr_get_output_primary(c, root), "reading the primary output");

    const xcb_randr_mode_info_t *modeInfos = xcb_randr_get_screen_resources_current_modes(resources.get());
    const int modeCount = xcb_randr_get_screen_resources_current_modes_length(resources.get());
    const auto modeById = [&](xcb_randr_mode_t id) -> const xcb_randr_mode_info_t * {
        for (int i = 0; i < modeCount; ++i) {
            if (modeInfos[i].id == id)
                return &modeInfos[i];
        }
        return nullptr;
    };
    const auto displayMode = [&](const xcb_randr_mode_info_t &info, bool preferred, const QString &output) {
        const double rate = refreshRate(info.dot_clock, info.htotal, info.vtotal, info.mode_flags);
        if (rate == 0)
            logOnce(QStringLiteral("timing %1 %2").arg(output).arg(info.id),
                    QStringLiteral("Mode %1x%2 of output %3 has no usable timings (clock %4, totals %5x%6); "
                                   "its refresh rate is taken as unknown")
                        .arg(info.width)
                        .arg(info.height)
                        .arg(output)
                        .arg(info.dot_clock)
                        .arg(info.htotal)
                        .arg(info.vtotal));
        return DisplayMode{info.width, info.height, info.width, info.height, rate,
                           kModeValidFlag | (preferred ? kModeSafeFlag : 0)};
    };

    // The CRTCs with their gamma sizes (asked for all at once).
    const xcb_randr_crtc_t *crtcIds = xcb_randr_get_screen_resources_current_crtcs(resources.get());
    const int crtcCount = xcb_randr_get_screen_resources_current_crtcs_length(resources.get());
    QList<xcb_randr_get_crtc_info_cookie_t> crtcCookies;
    QList<xcb_randr_get_crtc_gamma_size_cookie_t> gammaCookies;
    for (int i = 0; i < crtcCount; ++i) {
        crtcCookies << xcb_randr_get_crtc_info(c, crtcIds[i], resources->config_timestamp);
        gammaCookies << xcb_randr_get_crtc_gamma_size(c, crtcIds[i]);
    }
    struct CrtcGeometry {
        QPoint position;
        int width = 0, height = 0;
        xcb_randr_mode_t mode = 0;
    };
    QHash<quint32, CrtcGeometry> geometry;
    for (int i = 0; i < crtcCount; ++i) {
        const auto info = m_x->reply(xcb_randr_get_crtc_info_reply, crtcCookies[i], "reading a CRTC or output");
        const auto gamma = m_x->reply(xcb_randr_get_crtc_gamma_size_reply, gammaCookies[i], "reading a gamma ramp size");
        Crtc crtc;
        crtc.id = crtcIds[i];
        crtc.gammaSize = gamma ? gamma->size : 0;
        layout.crtcs.insert(crtc.id, crtc);
        if (info && info->mode != XCB_NONE)
            geometry.insert(crtc.id, CrtcGeometry{QPoint(info->x, info->y), info->width, info->height, info->mode});
    }

    const xcb_randr_output_t *outputIds = xcb_randr_get_screen_resources_current_outputs(resources.get());
    const int outputCount = xcb_randr_get_screen_resources_current_outputs_length(resources.get());
    for (int i = 0; i < outputCount; ++i) {
        const auto info = m_x->reply(xcb_randr_get_output_info_reply, xcb_randr_get_output_info(c, outputIds[i], resources->config_timestamp), "reading a CRTC or output");
        // An output that drives a CRTC with a mode is lit, whatever its connection state says:
        // drivers report "unknown", and the state is only as fresh as the last probe.
        if (!info || info->crtc == XCB_NONE || !geometry.contains(info->crtc))
            continue;
        Output output;
        output.xid = outputIds[i];
        output.name = QString::fromUtf8(reinterpret_cast<const char *>(xcb_randr_get_output_info_name(info.get())),
                                        xcb_randr_get_output_info_name_length(info.get()));
        output.crtc = info->crtc;
        const CrtcGeometry &crtcGeometry = geometry[info->crtc];
        output.position = crtcGeometry.position;
        output.pixelsWide = crtcGeometry.width;
        output.pixelsHigh = crtcGeometry.height;

        const xcb_randr_mode_t *modes = xcb_randr_get_output_info_modes(info.get());
        const int count = xcb_randr_get_output_info_modes_length(info.get());
        for (int m = 0; m < count; ++m) {
            if (const xcb_randr_mode_info_t *mode = modeById(modes[m])) {
                if (modes[m] == crtcGeometry.mode)
                    output.currentMode = int(output.modes.size());
                output.modes << displayMode(*mode, m < info->num_preferred, output.name);
            }
        }
        // A CRTC can run a mode the output does not list (a mode added by hand).
        if (output.currentMode < 0) {
            if (const xcb_randr_mode_info_t *mode = modeById(crtcGeometry.mode)) {
                output.currentMode = int(output.modes.size());
                output.modes << displayMode(*mode, false, output.name);
            }
        }
        if (output.modes.isEmpty())
            logOnce(QStringLiteral("modes %1").arg(output.name),
                    QStringLiteral("Output %1 lists no modes").arg(output.name));

        // The EDID (the base block and its extensions; only the base block is read).
        QByteArray edid;
        if (m_edidAtom) {
            const auto property = m_x->reply(xcb_randr_get_output_property_reply, xcb_randr_get_output_property(c, output.xid, m_edidAtom, XCB_ATOM_ANY, 0, 64, 0, 0), "reading an output property");
            if (property && property->format == 8)
                edid = QByteArray(reinterpret_cast<const char *>(xcb_randr_get_output_property_data(property.get())),
                                  xcb_randr_get_output_property_data_length(property.get()));
        }
        output.edid = decodeEdid(edid);
        output.monitor = monitorIdentity(output.edid);
        if (!output.edid.problem.isEmpty() && !edid.isEmpty())
            logOnce(QStringLiteral("edid %1 %2").arg(output.name, output.edid.problem),
                    QStringLiteral("Output %1: %2").arg(output.name, output.edid.problem));

        output.builtIn = isPanelConnectorName(output.name);
        if (!output.builtIn && m_connectorTypeAtom) {
            const auto property = m_x->reply(xcb_randr_get_output_property_reply, xcb_randr_get_output_property(c, output.xid, m_connectorTypeAtom, XCB_ATOM_ANY, 0, 1, 0, 0), "reading an output property");
            if (property && property->type == XCB_ATOM_ATOM && property->format == 32
                && xcb_randr_get_output_property_data_length(property.get()) >= 4) {
                const quint32 atom =
                    *reinterpret_cast<const quint32 *>(xcb_randr_get_output_property_data(property.get()));
                output.builtIn = m_x->atomName(atom) == QLatin1String("Panel");
            }
        }
        QList<quint32> taken;
        for (const Output &other : std::as_const(layout.outputs))
            taken << other.id;
        output.id = monitorDisplayId(output.edid, output.name, taken);
        layout.crtcs[output.crtc].outputs << output.id;
        layout.outputs << output;
    }
    if (primary) {
        for (const Output &output : std::as_const(layout.outputs)) {
            if (output.xid == primary->output)
                layout.main = output.id;
        }
    }
    if (!layout.main && !layout.outputs.isEmpty())
        layout.main = layout.outputs.first().id;
    return layout;
}

void RandrDisplays::scheduleReload()
{
    // A burst of events delivered together is one look at the new configuration.
    if (m_reloadQueued)
        return;
    m_reloadQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_reloadQueued = false;
            reloadConfiguration();
        },
        Qt::QueuedConnection);
}

void RandrDisplays::screensDidWake()
{
    // Sleep, a VT switch or a mode set may have reset the CRTCs: the formula is written again.
    QMutexLocker lock(&m_mutex);
    m_lastWritten.clear();
    m_keepProblem.clear();
}

void RandrDisplays::reloadConfiguration()
{
    if (!m_x->isConnected() || m_limitation == Limitation::noRandr)
        return;
    Layout layout = queryLayout();
    QList<QPair<DisplayId, quint32>> changes;
    QList<ReconfigurationCallback> callbacks;
    {
        QMutexLocker lock(&m_mutex);
        const Layout &before = m_layout;
        const auto mirrored = [](const Layout &l, const Output &o) { return isMirroredIn(l, o); };
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
            if (old->crtc != now.crtc)
                flags |= kDisplaySetModeFlag;
            const bool wasMirrored = mirrored(before, *old), isMirrored = mirrored(layout, now);
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
        m_layout = std::move(layout);
        // A CRTC that was switched off and on again may hold another ramp than we wrote.
        m_lastWritten.clear();
        m_keepProblem.clear();
        m_logged.removeIf([](const QString &key) { return key.startsWith(QLatin1String("gone ")); });
        callbacks = m_callbacks.values();
    }
    for (const auto &[display, flags] : std::as_const(changes)) {
        for (const ReconfigurationCallback &callback : std::as_const(callbacks))
            callback(display, flags);
    }
}

void RandrDisplays::logOnce(const QString &key, const QString &message) const
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_logged.contains(key))
            return;
        m_logged.insert(key);
    }
    m_log.info("%s", qUtf8Printable(message));
}

const RandrDisplays::Output *RandrDisplays::findLocked(DisplayId display) const
{
    for (const Output &output : m_layout.outputs) {
        if (output.id == display)
            return &output;
    }
    return nullptr;
}

std::optional<DisplayId> RandrDisplays::displayForOutputName(const QString &outputName) const
{
    QMutexLocker lock(&m_mutex);
    for (const Output &output : m_layout.outputs) {
        if (output.name == outputName)
            return output.id;
    }
    return std::nullopt;
}

QString RandrDisplays::outputName(DisplayId display) const
{
    QMutexLocker lock(&m_mutex);
    const Output *output = findLocked(display);
    return output ? output->name : QString();
}

QString RandrDisplays::monitorName(DisplayId display) const
{
    QMutexLocker lock(&m_mutex);
    const Output *output = findLocked(display);
    return output ? output->edid.name : QString();
}

int RandrDisplays::gammaRampSize(DisplayId display) const
{
    QMutexLocker lock(&m_mutex);
    const Output *output = findLocked(display);
    return output ? m_layout.crtcs.value(output->crtc).gammaSize : 0;
}

QList<DisplayId> RandrDisplays::activeDisplays()
{
    QMutexLocker lock(&m_mutex);
    QList<DisplayId> ids;
    for (const Output &output : std::as_const(m_layout.outputs))
        ids << output.id;
    return ids;
}

DisplayId RandrDisplays::mainDisplay()
{
    QMutexLocker lock(&m_mutex);
    return m_layout.main;
}

bool RandrDisplays::isBuiltin(DisplayId display)
{
    QMutexLocker lock(&m_mutex);
    const Output *output = findLocked(display);
    return output && output->builtIn;
}

bool RandrDisplays::isInMirrorSet(DisplayId display)
{
    QMutexLocker lock(&m_mutex);
    const Output *output = findLocked(display);
    return output && isMirroredIn(m_layout, *output);
}

bool RandrDisplays::isMirroredIn(const Layout &layout, const Output &output)
{
    // Mirrored outputs show the same area of the screen: on one CRTC, or, as most drivers
    // do it, on CRTCs of the same position and size.
    return std::any_of(layout.outputs.cbegin(), layout.outputs.cend(), [&](const Output &other) {
        return other.id != output.id
               && (other.crtc == output.crtc
                   || (other.position == output.position && other.pixelsWide == output.pixelsWide
                       && other.pixelsHigh == output.pixelsHigh));
    });
}

quint32 RandrDisplays::vendorNumber(DisplayId display)
{
    QMutexLocker lock(&m_mutex);
    const Output *output = findLocked(display);
    return output ? output->edid.vendor : 0;
}

quint32 RandrDisplays::modelNumber(DisplayId display)
{
    QMutexLocker lock(&m_mutex);
    const Output *output = findLocked(display);
    return output ? output->edid.model : 0;
}

quint32 RandrDisplays::serialNumber(DisplayId display)
{
    QMutexLocker lock(&m_mutex);
    const Output *output = findLocked(display);
    return output ? output->edid.serial : 0;
}

int RandrDisplays::pixelsWide(DisplayId display)
{
    QMutexLocker lock(&m_mutex);
    const Output *output = findLocked(display);
    return output ? output->pixelsWide : 0;
}

int RandrDisplays::pixelsHigh(DisplayId display)
{
    QMutexLocker lock(&m_mutex);
    const Output *output = findLocked(display);
    return output ? output->pixelsHigh : 0;
}

std::optional<DisplayMode> RandrDisplays::currentMode(DisplayId display)
{
    QMutexLocker lock(&m_mutex);
    const Output *output = findLocked(display);
    if (!output || output->currentMode < 0)
        return std::nullopt;
    return output->modes.value(output->currentMode);
}

QList<DisplayMode> RandrDisplays::allModes(DisplayId display, bool)
{
    // An X server has no scaled duplicates of a mode: the option changes nothing.
    QMutexLocker lock(&m_mutex);
    const Output *output = findLocked(display);
    return output ? output->modes : QList<DisplayMode>{};
}

std::optional<DisplayId> RandrDisplays::formerDisplayId(DisplayId display)
{
    QMutexLocker lock(&m_mutex);
    const Output *output = findLocked(display);
    return output ? std::optional<DisplayId>(output->xid) : std::nullopt;
}

bool RandrDisplays::transferFormulasReachScreens()
{
    QMutexLocker lock(&m_mutex);
    return m_limitation == Limitation::none && m_keepProblem.isEmpty();
}

QString RandrDisplays::transferFormulaNote()
{
    QMutexLocker lock(&m_mutex);
    if (m_limitation != Limitation::none || m_keepProblem.isEmpty())
        return {};
    return QStringLiteral("The display's formula is not applied: the original colours could not be kept first, "
                          "so they could not be put back after a crash (%1). The comfort veil still softens the "
                          "screen.")
        .arg(m_keepProblem);
}

std::optional<GammaRamp> RandrDisplays::readRampLocked(quint32 crtc)
{
    const auto reply = m_x->reply(xcb_randr_get_crtc_gamma_reply, xcb_randr_get_crtc_gamma(m_x->get(), crtc),
                                  "reading a gamma ramp");
    if (!reply)
        return std::nullopt;
    const int size = reply->size;
    const auto channel = [size](const quint16 *values) { return QList<quint16>(values, values + size); };
    return GammaRamp{channel(xcb_randr_get_crtc_gamma_red(reply.get())),
                     channel(xcb_randr_get_crtc_gamma_green(reply.get())),
                     channel(xcb_randr_get_crtc_gamma_blue(reply.get()))};
}

std::optional<GammaRamp> RandrDisplays::currentGammaRamp(DisplayId display)
{
    QMutexLocker lock(&m_mutex);
    const Output *output = findLocked(display);
    if (!output || !m_x->isConnected())
        return std::nullopt;
    return readRampLocked(output->crtc);
}

ResultCode RandrDisplays::writeRampLocked(quint32 crtc, const GammaRamp &ramp, DisplayId display)
{
    xcb_connection_t *c = m_x->get();
    const xcb_void_cookie_t cookie = xcb_randr_set_crtc_gamma_checked(
        c, crtc, quint16(ramp.size()), ramp.red.constData(), ramp.green.constData(), ramp.blue.constData());
    xcb_generic_error_t *error = xcb_request_check(c, cookie);
    if (error) {
        // The CRTC went away since the configuration was read (a display unplugged).
        m_lastWritten.remove(crtc);
        m_log.error("Could not set the gamma ramp of CRTC %u for display %u: X error %d", crtc, display,
                    int(error->error_code));
        std::free(error);
        return kErrorFailure;
    }
    m_lastWritten.insert(crtc, ramp);
    m_ours.insert(crtc, ramp);
    return 0;
}

ResultCode RandrDisplays::writeGammaRamp(DisplayId display, const GammaRamp &ramp)
{
    QMutexLocker lock(&m_mutex);
    const Output *output = findLocked(display);
    if (!output || !m_x->isConnected())
        return kErrorIllegalArgument;
    if (ramp.size() != m_layout.crtcs.value(output->crtc).gammaSize)
        return kErrorIllegalArgument;
    return writeRampLocked(output->crtc, ramp, display);
}

QList<ShownMonitor> RandrDisplays::shownLocked(quint32 crtc) const
{
    QList<ShownMonitor> shown;
    for (const Output &output : m_layout.outputs) {
        if (output.crtc == crtc)
            shown << ShownMonitor{output.name, output.monitor};
    }
    return shown;
}

QString RandrDisplays::crtcNamesLocked(quint32 crtc) const
{
    QStringList names;
    for (const ShownMonitor &shown : shownLocked(crtc))
        names << shown.output;
    return names.isEmpty() ? QStringLiteral("CRTC %1 (switched off)").arg(crtc) : names.join(QStringLiteral(", "));
}

bool RandrDisplays::readOriginals(GammaOriginals *originals, QString *error) const
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

bool RandrDisplays::writeOriginals(const GammaOriginals &originals, QString *error) const
{
    if (originals.isEmpty()) {
        m_restoreFile.remove();
        return true;
    }
    return m_restoreFile.write(m_server, m_serverMark, originals.entries(), error);
}

ResultCode RandrDisplays::keepLocked(quint32 crtc, int size, DisplayId display)
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
        return kErrorCannotComplete;
    }
    std::optional<GammaRamp> current;
    if (!originals.knowsCrtc(crtc)) {
        current = readRampLocked(crtc);
        if (!current || current->size() != size) {
            m_log.error("Could not read the gamma ramp of CRTC %u for display %u; its transfer formula is not applied",
                        crtc, display);
            return kErrorFailure;
        }
    }
    originals.keep(crtc, shownLocked(crtc), current.value_or(GammaRamp{}), m_user);
    if (!writeOriginals(originals, &error)) {
        m_keepProblem = error;
        m_log.error("Could not keep the original gamma ramps%s (%s); the displays' transfer formulas are "
                    "not applied",
                    m_restoreFile.path().isEmpty() ? ""
                                                   : qUtf8Printable(QStringLiteral(" in ") + m_restoreFile.path()),
                    qUtf8Printable(error));
        return kErrorCannotComplete;
    }
    m_originals = originals;
    return 0;
}

ResultCode RandrDisplays::setTransferFormula(DisplayId display, const TransferFormula &formula)
{
    if (limitation() != Limitation::none)
        return kErrorCannotComplete;
    QMutexLocker lock(&m_mutex);
    const Output *output = findLocked(display);
    if (!output) {
        lock.unlock();
        // Once per display until the configuration changes: an animation keeps asking.
        logOnce(QStringLiteral("gone %1").arg(display),
                QStringLiteral("Display %1 is not connected; its transfer formula is not applied").arg(display));
        return kErrorIllegalArgument;
    }
    const quint32 crtc = output->crtc;
    const int size = m_layout.crtcs.value(crtc).gammaSize;
    if (!isUsableGammaRampSize(size)) {
        lock.unlock();
        logOnce(QStringLiteral("size %1 %2").arg(crtc).arg(size),
                QStringLiteral("CRTC %1 of display %2 has a gamma ramp of %3 entries; its transfer formula is "
                               "not applied")
                    .arg(crtc)
                    .arg(display)
                    .arg(size));
        return kErrorNoneAvailable;
    }
    const GammaRamp ramp = gammaRampForFormula(formula, size);
    // Mirrored outputs share a CRTC: one write per ramp is enough.
    if (m_lastWritten.value(crtc) == ramp)
        return 0;
    if (!m_keepProblem.isEmpty())
        return kErrorCannotComplete;
    // What goes back on the CRTC, for every monitor it shows, is kept before the first
    // change reaches the screen, so that a kill cannot lose it.
    if (!m_originals.covers(crtc, shownLocked(crtc), m_user)) {
        if (const ResultCode code = keepLocked(crtc, size, display); code != 0)
            return code;
    }
    return writeRampLocked(crtc, ramp, display);
}

ResultCode RandrDisplays::resetTransferFormula(DisplayId display)
{
    if (limitation() != Limitation::none)
        return kErrorCannotComplete;
    QMutexLocker lock(&m_mutex);
    const Output *output = findLocked(display);
    if (!output)
        return kErrorIllegalArgument;
    const quint32 crtc = output->crtc;
    // A CRTC whose ramp we never changed still shows its own.
    if (!m_originals.heldBy(crtc, m_user))
        return 0;
    const int size = m_layout.crtcs.value(crtc).gammaSize;
    const std::optional<GammaRamp> original = m_originals.rampFor(crtc, shownLocked(crtc), size);
    if (!original || m_lastWritten.value(crtc) == *original)
        return 0;
    if (original->size() != size)
        return kErrorNoneAvailable;
    // A ramp another program set since our last write is left as it is.
    if (const auto ours = m_ours.constFind(crtc); ours != m_ours.cend()) {
        const std::optional<GammaRamp> current = readRampLocked(crtc);
        if (current && *current != *ours) {
            const QString name = output->name;
            lock.unlock();
            logOnce(QStringLiteral("foreign %1").arg(name),
                    QStringLiteral("The gamma ramp of output %1 was set by another program since; it is left as it is")
                        .arg(name));
            return 0;
        }
    }
    return writeRampLocked(crtc, *original, display);
}

void RandrDisplays::restoreColorSyncSettings()
{
    QMutexLocker lock(&m_mutex);
    // Switching the formulas off or on again tries to keep the originals anew.
    m_keepProblem.clear();
    QList<quint32> mine;
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
            const QList<ShownMonitor> shown = shownLocked(crtc);
            const int size = m_layout.crtcs.value(crtc).gammaSize;
            std::optional<GammaRamp> original = originals.rampFor(crtc, shown, size);
            chosen.insert(crtc, original ? original : m_originals.rampFor(crtc, shown, size));
        }
        for (const quint32 crtc : std::as_const(mine)) {
            const auto it = m_layout.crtcs.constFind(crtc);
            if (it == m_layout.crtcs.cend()) {
                m_log.info("CRTC %u is gone; its original gamma ramp waits for the next start", crtc);
                continue;
            }
            const std::optional<GammaRamp> &original = chosen[crtc];
            // Put back, the CRTC is settled for copies that ended too; while another copy
            // runs, it is that copy's to put back.
            const bool another = originals.heldByAnotherRunning(crtc, m_user);
            originals.release(crtc, m_user);
            if (!original || original->size() != it->gammaSize) {
                m_log.info("%s has a gamma ramp of another size now; its original is not put back",
                           qUtf8Printable(crtcNamesLocked(crtc)));
                continue;
            }
            if (const auto ours = m_ours.constFind(crtc); ours != m_ours.cend()) {
                const std::optional<GammaRamp> current = readRampLocked(crtc);
                if (current && *current != *ours) {
                    m_log.info("The gamma ramp of %s was set by another program since; it is left as it is",
                               qUtf8Printable(crtcNamesLocked(crtc)));
                    continue;
                }
            }
            if (writeRampLocked(crtc, *original, 0) == 0 && !another)
                originals.drop(crtc);
        }
        m_originals = originals;
        if (readable && !writeOriginals(originals, &error))
            m_log.error("Could not keep the original gamma ramps in %s: %s", qUtf8Printable(m_restoreFile.path()),
                        qUtf8Printable(error));
    }
    m_ours.clear();
    m_lastWritten.clear();
}

void RandrDisplays::restoreKeptRamps()
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
        m_log.info("The kept gamma ramps in %s belong to an X server that has ended since; they are dropped",
                   qUtf8Printable(m_restoreFile.path()));
        m_restoreFile.remove();
        return;
    }
    GammaOriginals kept(entries);
    QMutexLocker lock(&m_mutex);
    QStringList restored;
    bool another = false;
    QHash<quint32, std::optional<GammaRamp>> chosen; // before any entry goes, as at quit
    for (const quint32 crtc : kept.crtcs())
        chosen.insert(crtc, kept.rampFor(crtc, shownLocked(crtc), m_layout.crtcs.value(crtc).gammaSize));
    for (const quint32 crtc : kept.crtcs()) {
        // A copy of ours that still runs puts back its own.
        if (kept.heldByAnotherRunning(crtc, m_user)) {
            another = true;
            continue;
        }
        const auto it = m_layout.crtcs.constFind(crtc);
        if (it == m_layout.crtcs.cend()) {
            m_log.info("CRTC %u of the kept gamma ramps is gone; its ramp waits until it is back", crtc);
            continue;
        }
        const std::optional<GammaRamp> original = chosen.value(crtc);
        kept.drop(crtc);
        if (!original || original->size() != it->gammaSize) {
            m_log.info("Not putting back the kept gamma ramp of %s: it has %d entries, the CRTC %d",
                       qUtf8Printable(crtcNamesLocked(crtc)), original ? original->size() : 0, it->gammaSize);
            continue;
        }
        const QString names = crtcNamesLocked(crtc);
        if (writeRampLocked(crtc, *original, 0) == 0 && !restored.contains(names))
            restored << names;
    }
    // Ramps an older version kept by output go back where that output shows that monitor.
    QList<SavedGammaRamp> done;
    for (const SavedGammaRamp &saved : kept.byOutputOnly()) {
        const Output *output = nullptr;
        for (const Output &o : std::as_const(m_layout.outputs)) {
            if (o.name == saved.output)
                output = &o;
        }
        if (!output || output->monitor != saved.monitor) {
            m_log.info("Output %s is %s; its kept gamma ramp waits until its monitor is lit there again",
                       qUtf8Printable(saved.output), output ? "showing another monitor" : "not lit");
            continue;
        }
        done << saved;
        if (m_layout.crtcs.value(output->crtc).gammaSize != saved.ramp.size()) {
            m_log.info("Not putting back the kept gamma ramp of output %s: it has %d entries, the CRTC %d",
                       qUtf8Printable(saved.output), saved.ramp.size(), m_layout.crtcs.value(output->crtc).gammaSize);
            continue;
        }
        if (writeRampLocked(output->crtc, saved.ramp, output->id) == 0 && !restored.contains(saved.output))
            restored << saved.output;
    }
    kept.dropByOutputOnly(done);
    m_lastWritten.clear();
    m_ours.clear();
    m_originals = kept;
    if (!writeOriginals(kept, &error))
        m_log.error("Could not keep the original gamma ramps of absent outputs in %s: %s",
                    qUtf8Printable(m_restoreFile.path()), qUtf8Printable(error));
    if (restored.isEmpty() && !another)
        m_log.info("Put back none of the gamma ramps a previous run left changed");
    else if (!restored.isEmpty())
        m_log.info("Put back the gamma ramp a previous run left changed on %s",
                   qUtf8Printable(restored.join(QStringLiteral(", "))));
}

int RandrDisplays::registerReconfigurationCallback(ReconfigurationCallback callback)
{
    QMutexLocker lock(&m_mutex);
    const int token = m_nextToken++;
    m_callbacks.insert(token, std::move(callback));
    return token;
}

void RandrDisplays::removeReconfigurationCallback(int token)
{
    QMutexLocker lock(&m_mutex);
    m_callbacks.remove(token);
}

} // namespace qv
