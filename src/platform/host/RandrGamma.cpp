#include "platform/host/RandrGamma.h"

#include <QRandomGenerator>

#include <xcb/randr.h>
#include <xcb/xcb.h>


namespace qv::host {

namespace {
// The mode I/O flags: valid for every mode, safe for the output's preferred ones.
constexpr quint32 kModeValidFlag = 0x1;
constexpr quint32 kModeSafeFlag = 0x2;

// The root window property that marks the X server as the one that the kept ramps were
// read from; a server started again does not carry it.
constexpr char kServerMarkProperty[] = "_QUELLVISTA_SERVER_MARK";
} // namespace

RandrGamma::RandrGamma(Options options, QObject *parent)
    : GammaMethod(parent),
      m_displayName(options.displayName.isEmpty() ? qEnvironmentVariable("DISPLAY") : options.displayName),
      m_notReaching(options.notReachingReason)
{
    m_x = x11::XConnection::sharedOrOwn(options.connection, m_displayName, m_log, this);
    if (!m_x->isConnected()) {
        m_reason = QStringLiteral("No X server to reach; the displays' transfer formulas cannot be applied");
        return;
    }
    xcb_connection_t *c = m_x->get();
    const xcb_query_extension_reply_t *randr = xcb_get_extension_data(c, &xcb_randr_id);
    const auto version = randr && randr->present
                             ? m_x->reply(xcb_randr_query_version_reply, xcb_randr_query_version(c, 1, 3),
                                          "asking the RandR version")
                             : nullptr;
    if (!version || version->major_version < 1 || (version->major_version == 1 && version->minor_version < 3)) {
        m_reason = QStringLiteral("The X server has no RandR 1.3; the displays' transfer formulas cannot be applied");
        return;
    }
    m_randrEventBase = randr->first_event;
    m_edidAtom = m_x->atom("EDID");
    m_connectorTypeAtom = m_x->atom("ConnectorType");
    xcb_randr_select_input(c, m_x->root(),
                           XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE
                               | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE);
    xcb_flush(c);
    for (const quint8 type : {XCB_RANDR_SCREEN_CHANGE_NOTIFY, XCB_RANDR_NOTIFY})
        m_x->onEvent(m_randrEventBase + type, this, [this](const xcb_generic_event_t &) { scheduleReload(); });
    connect(m_x, &x11::XConnection::lost, this, [this] {
        logOnce(QStringLiteral("lost"), QStringLiteral("The connection to the X server was lost"));
    });
    m_layout = queryLayout();
    bool anyGamma = false;
    for (const Output &output : std::as_const(m_layout.outputs))
        anyGamma = anyGamma || m_layout.gammaSizes.contains(output.crtc);
    if (!anyGamma && !m_layout.outputs.isEmpty())
        m_reason = QStringLiteral("The X server's CRTCs have no gamma ramps; the displays' transfer formulas "
                                  "cannot be applied");
}

QString RandrGamma::serverMark()
{
    // The mark the server carries, or a new one for a server that carries none yet.
    if (!m_mark.isEmpty() || !isConnected())
        return m_mark;
    const xcb_atom_t property = m_x->atom(kServerMarkProperty);
    if (property == XCB_ATOM_NONE)
        return {};
    xcb_connection_t *c = m_x->get();
    const auto reply = m_x->reply(xcb_get_property_reply,
                                  xcb_get_property(c, 0, m_x->root(), property, XCB_ATOM_STRING, 0, 16),
                                  "reading the server mark");
    if (reply && reply->type == XCB_ATOM_STRING && reply->format == 8 && xcb_get_property_value_length(reply.get()) > 0) {
        m_mark = QString::fromLatin1(static_cast<const char *>(xcb_get_property_value(reply.get())),
                                     xcb_get_property_value_length(reply.get()));
        return m_mark;
    }
    const QByteArray mark = QByteArray::number(QRandomGenerator::system()->generate64(), 16);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, m_x->root(), property, XCB_ATOM_STRING, 8, quint32(mark.size()),
                        mark.constData());
    xcb_flush(c);
    m_mark = QString::fromLatin1(mark);
    return m_mark;
}

double RandrGamma::refreshRate(quint32 dotClock, int hTotal, int vTotal, quint32 modeFlags)
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

GammaMethod::Layout RandrGamma::queryLayout()
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
        const int gammaSize = gamma ? gamma->size : 0;
        if (isUsableGammaRampSize(gammaSize))
            layout.gammaSizes.insert(crtcIds[i], gammaSize);
        else if (info && info->mode != XCB_NONE)
            logOnce(QStringLiteral("size %1 %2").arg(crtcIds[i]).arg(gammaSize),
                    QStringLiteral("CRTC %1 has a gamma ramp of %2 entries; its transfer formula is not applied")
                        .arg(crtcIds[i])
                        .arg(gammaSize));
        if (info && info->mode != XCB_NONE)
            geometry.insert(crtcIds[i], CrtcGeometry{QPoint(info->x, info->y), info->width, info->height, info->mode});
    }

    const xcb_randr_output_t *outputIds = xcb_randr_get_screen_resources_current_outputs(resources.get());
    const int outputCount = xcb_randr_get_screen_resources_current_outputs_length(resources.get());
    for (int i = 0; i < outputCount; ++i) {
        const auto info = m_x->reply(xcb_randr_get_output_info_reply, xcb_randr_get_output_info(c, outputIds[i], resources->config_timestamp), "reading a CRTC or output");
        if (!info)
            continue;
        Output output;
        output.formerId = outputIds[i];
        output.name = QString::fromUtf8(reinterpret_cast<const char *>(xcb_randr_get_output_info_name(info.get())),
                                        xcb_randr_get_output_info_name_length(info.get()));
        // An output that drives a CRTC with a mode is lit, whatever its connection state says:
        // drivers report "unknown", and the state is only as fresh as the last probe.
        if (info->crtc == XCB_NONE || !geometry.contains(info->crtc)) {
            // A monitor switched off still tells its twins apart.
            if (info->connection == XCB_RANDR_CONNECTION_CONNECTED) {
                output.edid = readEdid(output.formerId, output.name);
                layout.dark << output;
            }
            continue;
        }
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

        output.edid = readEdid(output.formerId, output.name);

        output.builtIn = isPanelConnectorName(output.name);
        if (!output.builtIn && m_connectorTypeAtom) {
            const auto property = m_x->reply(xcb_randr_get_output_property_reply, xcb_randr_get_output_property(c, output.formerId, m_connectorTypeAtom, XCB_ATOM_ANY, 0, 1, 0, 0), "reading an output property");
            if (property && property->type == XCB_ATOM_ATOM && property->format == 32
                && xcb_randr_get_output_property_data_length(property.get()) >= 4) {
                const quint32 atom =
                    *reinterpret_cast<const quint32 *>(xcb_randr_get_output_property_data(property.get()));
                output.builtIn = m_x->atomName(atom) == QLatin1String("Panel");
            }
        }
        output.primary = primary && primary->output == outputIds[i];
        layout.outputs << output;
    }
    return layout;
}

EdidInfo RandrGamma::readEdid(quint32 output, const QString &name)
{
    // The base block and its extensions; only the base block is read.
    QByteArray edid;
    if (m_edidAtom) {
        const auto property = m_x->reply(xcb_randr_get_output_property_reply, xcb_randr_get_output_property(m_x->get(), output, m_edidAtom, XCB_ATOM_ANY, 0, 64, 0, 0), "reading an output property");
        if (property && property->format == 8)
            edid = QByteArray(reinterpret_cast<const char *>(xcb_randr_get_output_property_data(property.get())),
                              xcb_randr_get_output_property_data_length(property.get()));
    }
    EdidInfo info = decodeEdid(edid);
    if (!info.problem.isEmpty() && !edid.isEmpty())
        logOnce(QStringLiteral("edid %1 %2").arg(name, info.problem),
                QStringLiteral("Output %1: %2").arg(name, info.problem));
    return info;
}

void RandrGamma::scheduleReload()
{
    // A burst of events delivered together is one look at the new configuration.
    if (m_reloadQueued)
        return;
    m_reloadQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_reloadQueued = false;
            refresh();
        },
        Qt::QueuedConnection);
}

void RandrGamma::refresh()
{
    if (!isConnected())
        return;
    m_layout = queryLayout();
    emit layoutChanged();
}

void RandrGamma::logOnce(const QString &key, const QString &message)
{
    if (m_logged.contains(key))
        return;
    m_logged.insert(key);
    m_log.info("%s", qUtf8Printable(message));
}

std::optional<GammaRamp> RandrGamma::currentRamp(quint32 crtc)
{
    if (!isConnected())
        return std::nullopt;
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

GammaMethod::Result RandrGamma::writeRamp(quint32 crtc, const GammaRamp &ramp)
{
    if (!isConnected())
        return {Status::gone, m_reason.isEmpty() ? QStringLiteral("The connection to the X server was lost") : m_reason};
    const auto size = m_layout.gammaSizes.constFind(crtc);
    if (size == m_layout.gammaSizes.cend())
        return {Status::unknownCrtc, QStringLiteral("The X server has no CRTC %1 with a gamma ramp").arg(crtc)};
    if (ramp.size() != *size)
        return {Status::wrongSize,
                QStringLiteral("A ramp of %1 entries does not fit CRTC %2's of %3").arg(ramp.size()).arg(crtc).arg(*size)};
    const xcb_void_cookie_t cookie = xcb_randr_set_crtc_gamma_checked(
        m_x->get(), crtc, quint16(ramp.size()), ramp.red.constData(), ramp.green.constData(), ramp.blue.constData());
    if (const int code = m_x->check(cookie, nullptr)) {
        // The CRTC went away since the configuration was read (a display unplugged).
        return {Status::unknownCrtc, QStringLiteral("The X server refused the gamma ramp of CRTC %1 (X error %2)")
                                         .arg(crtc)
                                         .arg(code)};
    }
    return {};
}

} // namespace qv::host
