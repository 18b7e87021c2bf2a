#include "platform/host/RandrDisplays.h"

#include <QSocketNotifier>

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

quint32 internAtom(xcb_connection_t *c, const char *name)
{
    const Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, quint16(strlen(name)), name), nullptr));
    return reply ? reply->atom : 0;
}

QString atomName(xcb_connection_t *c, quint32 atom)
{
    const Reply<xcb_get_atom_name_reply_t> reply(xcb_get_atom_name_reply(c, xcb_get_atom_name(c, atom), nullptr));
    if (!reply)
        return {};
    return QString::fromLatin1(xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()));
}

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
      m_restoreFile(options.restoreFilePath.isEmpty() ? GammaRestoreFile::pathForDisplay(m_displayName)
                                                      : options.restoreFilePath)
{
    int screenNumber = 0;
    xcb_connection_t *c = xcb_connect(m_displayName.isEmpty() ? nullptr : qPrintable(m_displayName), &screenNumber);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        m_limitation = Limitation::noServer;
        m_log.info("%s", qUtf8Printable(limitationText(m_limitation)));
        return;
    }
    m_connection = c;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    m_root = screens.data ? screens.data->root : 0;

    const xcb_query_extension_reply_t *randr = xcb_get_extension_data(c, &xcb_randr_id);
    const Reply<xcb_randr_query_version_reply_t> version(
        randr && randr->present ? xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 3), nullptr)
                                : nullptr);
    if (!version || version->major_version < 1 || (version->major_version == 1 && version->minor_version < 3)) {
        m_limitation = Limitation::noRandr;
        m_log.info("%s", qUtf8Printable(limitationText(m_limitation)));
        return;
    }
    m_randrEventBase = randr->first_event;
    m_edidAtom = internAtom(c, "EDID");
    m_connectorTypeAtom = internAtom(c, "ConnectorType");
    xcb_randr_select_input(c, m_root,
                           XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE
                               | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE);
    xcb_flush(c);

    {
        const Layout layout = queryLayout();
        QMutexLocker lock(&m_mutex);
        m_layout = layout;
    }
    // What a process that was killed or crashed changed goes back before anything is applied.
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

    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(c), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &RandrDisplays::drainEvents);
}

RandrDisplays::~RandrDisplays()
{
    if (m_connection)
        xcb_disconnect(m_connection);
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
    xcb_connection_t *c = m_connection;
    const Reply<xcb_randr_get_screen_resources_current_reply_t> resources(xcb_randr_get_screen_resources_current_reply(
        c, xcb_randr_get_screen_resources_current(c, m_root), nullptr));
    if (!resources)
        return layout;
    const Reply<xcb_randr_get_output_primary_reply_t> primary(
        xcb_randr_get_output_primary_reply(c, xcb_randr_get_output_primary(c, m_root), nullptr));

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
        const Reply<xcb_randr_get_crtc_info_reply_t> info(xcb_randr_get_crtc_info_reply(c, crtcCookies[i], nullptr));
        const Reply<xcb_randr_get_crtc_gamma_size_reply_t> gamma(
            xcb_randr_get_crtc_gamma_size_reply(c, gammaCookies[i], nullptr));
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
        const Reply<xcb_randr_get_output_info_reply_t> info(
            xcb_randr_get_output_info_reply(c, xcb_randr_get_output_info(c, outputIds[i], resources->config_timestamp),
                                            nullptr));
        if (!info || info->connection != XCB_RANDR_CONNECTION_CONNECTED || info->crtc == XCB_NONE
            || !geometry.contains(info->crtc))
            continue;
        Output output;
        output.id = outputIds[i];
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
            const Reply<xcb_randr_get_output_property_reply_t> property(xcb_randr_get_output_property_reply(
                c, xcb_randr_get_output_property(c, output.id, m_edidAtom, XCB_ATOM_ANY, 0, 64, 0, 0), nullptr));
            if (property && property->format == 8)
                edid = QByteArray(reinterpret_cast<const char *>(xcb_randr_get_output_property_data(property.get())),
                                  xcb_randr_get_output_property_data_length(property.get()));
        }
        output.edid = decodeEdid(edid);
        if (!output.edid.problem.isEmpty() && !edid.isEmpty())
            logOnce(QStringLiteral("edid %1 %2").arg(output.name, output.edid.problem),
                    QStringLiteral("Output %1: %2").arg(output.name, output.edid.problem));

        output.builtIn = isPanelConnectorName(output.name);
        if (!output.builtIn && m_connectorTypeAtom) {
            const Reply<xcb_randr_get_output_property_reply_t> property(xcb_randr_get_output_property_reply(
                c, xcb_randr_get_output_property(c, output.id, m_connectorTypeAtom, XCB_ATOM_ANY, 0, 1, 0, 0),
                nullptr));
            if (property && property->type == XCB_ATOM_ATOM && property->format == 32
                && xcb_randr_get_output_property_data_length(property.get()) >= 4) {
                const quint32 atom =
                    *reinterpret_cast<const quint32 *>(xcb_randr_get_output_property_data(property.get()));
                output.builtIn = atomName(c, atom) == QLatin1String("Panel");
            }
        }
        layout.crtcs[output.crtc].outputs << output.id;
        layout.outputs << output;
    }
    if (primary) {
        for (const Output &output : std::as_const(layout.outputs)) {
            if (output.id == primary->output)
                layout.main = output.id;
        }
    }
    if (!layout.main && !layout.outputs.isEmpty())
        layout.main = layout.outputs.first().id;
    return layout;
}

void RandrDisplays::drainEvents()
{
    bool changed = false;
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
        const quint8 type = event->response_type & 0x7f;
        if (type == m_randrEventBase + XCB_RANDR_SCREEN_CHANGE_NOTIFY || type == m_randrEventBase + XCB_RANDR_NOTIFY)
            changed = true;
        std::free(event);
    }
    if (xcb_connection_has_error(m_connection)) {
        logOnce(QStringLiteral("lost"), QStringLiteral("The connection to the X server was lost"));
        m_notifier->setEnabled(false);
        return;
    }
    // A burst of events read in one go is one look at the new configuration.
    if (changed)
        reloadConfiguration();
}

void RandrDisplays::reloadConfiguration()
{
    if (!m_connection || m_limitation == Limitation::noRandr)
        return;
    Layout layout = queryLayout();
    QList<QPair<DisplayId, quint32>> changes;
    QList<ReconfigurationCallback> callbacks;
    {
        QMutexLocker lock(&m_mutex);
        const Layout &before = m_layout;
        const auto mirrored = [](const Layout &l, const Output &o) { return l.crtcs.value(o.crtc).outputs.size() > 1; };
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
    return output && m_layout.crtcs.value(output->crtc).outputs.size() > 1;
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

bool RandrDisplays::transferFormulasReachScreens()
{
    return limitation() == Limitation::none;
}

std::optional<GammaRamp> RandrDisplays::readRampLocked(quint32 crtc)
{
    const Reply<xcb_randr_get_crtc_gamma_reply_t> reply(
        xcb_randr_get_crtc_gamma_reply(m_connection, xcb_randr_get_crtc_gamma(m_connection, crtc), nullptr));
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
    if (!output || !m_connection)
        return std::nullopt;
    return readRampLocked(output->crtc);
}

ResultCode RandrDisplays::writeRampLocked(quint32 crtc, const GammaRamp &ramp, DisplayId display)
{
    const xcb_void_cookie_t cookie = xcb_randr_set_crtc_gamma_checked(
        m_connection, crtc, quint16(ramp.size()), ramp.red.constData(), ramp.green.constData(), ramp.blue.constData());
    if (std::unique_ptr<xcb_generic_error_t, FreeDeleter> error{xcb_request_check(m_connection, cookie)}) {
        // The CRTC went away since the configuration was read (a display unplugged).
        m_lastWritten.remove(crtc);
        m_log.error("Could not set the gamma ramp of CRTC %u for display %u: X error %d", crtc, display,
                    int(error->error_code));
        return kErrorFailure;
    }
    m_lastWritten.insert(crtc, ramp);
    return 0;
}

ResultCode RandrDisplays::writeGammaRamp(DisplayId display, const GammaRamp &ramp)
{
    QMutexLocker lock(&m_mutex);
    const Output *output = findLocked(display);
    if (!output || !m_connection)
        return kErrorIllegalArgument;
    if (ramp.size() != m_layout.crtcs.value(output->crtc).gammaSize)
        return kErrorIllegalArgument;
    return writeRampLocked(output->crtc, ramp, display);
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
    if (!m_originals.contains(crtc)) {
        const std::optional<GammaRamp> original = readRampLocked(crtc);
        if (!original || original->size() != size) {
            m_log.error("Could not read the gamma ramp of CRTC %u for display %u; its transfer formula is not applied",
                        crtc, display);
            return kErrorFailure;
        }
        SavedGammaRamp saved{crtc, {}, *original};
        for (const DisplayId id : m_layout.crtcs.value(crtc).outputs) {
            if (const Output *o = findLocked(id))
                saved.outputs << o->name;
        }
        m_originals.insert(crtc, saved);
        // Kept before the first change reaches the screen, so that a kill cannot lose it.
        saveOriginalsLocked();
    }
    return writeRampLocked(crtc, ramp, display);
}

void RandrDisplays::saveOriginalsLocked()
{
    QString error;
    if (!m_restoreFile.write(m_displayName, m_originals.values(), &error))
        m_log.error("Could not keep the original gamma ramps in %s: %s", qUtf8Printable(m_restoreFile.path()),
                    qUtf8Printable(error));
}

void RandrDisplays::restoreColorSyncSettings()
{
    QMutexLocker lock(&m_mutex);
    if (m_originals.isEmpty())
        return;
    for (const SavedGammaRamp &saved : std::as_const(m_originals)) {
        const auto crtc = m_layout.crtcs.constFind(saved.crtc);
        if (crtc == m_layout.crtcs.cend() || crtc->gammaSize != saved.ramp.size()) {
            m_log.info("CRTC %u is gone or changed its ramp size; its original gamma ramp is not put back",
                       saved.crtc);
            continue;
        }
        writeRampLocked(saved.crtc, saved.ramp, crtc->outputs.value(0));
    }
    m_originals.clear();
    m_lastWritten.clear();
    m_restoreFile.remove();
}

void RandrDisplays::restoreKeptRamps()
{
    QList<SavedGammaRamp> kept;
    QString error;
    const GammaRestoreFile::State state = m_restoreFile.read(m_displayName, &kept, &error);
    if (state == GammaRestoreFile::State::absent)
        return;
    if (state == GammaRestoreFile::State::corrupt) {
        m_log.error("Ignoring the kept gamma ramps in %s: %s", qUtf8Printable(m_restoreFile.path()),
                    qUtf8Printable(error));
        m_restoreFile.remove();
        return;
    }
    QMutexLocker lock(&m_mutex);
    QStringList restored;
    for (const SavedGammaRamp &saved : std::as_const(kept)) {
        const auto crtc = m_layout.crtcs.constFind(saved.crtc);
        QStringList outputs;
        if (crtc != m_layout.crtcs.cend()) {
            for (const DisplayId id : crtc->outputs) {
                if (const Output *o = findLocked(id))
                    outputs << o->name;
            }
        }
        if (crtc == m_layout.crtcs.cend() || crtc->gammaSize != saved.ramp.size() || outputs != saved.outputs) {
            m_log.info("Not putting back the kept gamma ramp of CRTC %u (%s): the screen layout changed since",
                       saved.crtc, qUtf8Printable(saved.outputs.join(QLatin1Char(','))));
            continue;
        }
        const QString name = saved.outputs.isEmpty() ? QStringLiteral("CRTC %1").arg(saved.crtc)
                                                      : saved.outputs.join(QLatin1Char(','));
        if (writeRampLocked(saved.crtc, saved.ramp, crtc->outputs.value(0)) == 0 && !restored.contains(name))
            restored << name;
    }
    m_lastWritten.clear();
    m_restoreFile.remove();
    if (restored.isEmpty())
        m_log.info("Put back none of the gamma ramps a previous run left changed");
    else
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
