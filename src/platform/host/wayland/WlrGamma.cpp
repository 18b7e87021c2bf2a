#include "platform/host/wayland/WlrGamma.h"

#include "wlr-gamma-control-unstable-v1-client-protocol.h"
#include "wlr-output-management-unstable-v1-client-protocol.h"

#include <QRegularExpression>

#include <wayland-client.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace qv::host {

struct WlrGamma::Head {
    WlrGamma *owner = nullptr;
    zwlr_output_head_v1 *proxy = nullptr;
    quint32 version = 0;
    QString name, make, model, serial;
    std::vector<zwlr_output_mode_v1 *> modes;
};

struct WlrGamma::Control {
    WlrGamma *owner = nullptr;
    quint32 name = 0; // the wl_output global's: the CRTC handle
    quint32 version = 0;
    wl_output *output = nullptr;
    zwlr_gamma_control_v1 *control = nullptr;
    QString outputName, make, model; // from wl_output (name since version 4)
    QPoint position;
    QList<DisplayMode> modes;
    int currentMode = -1;
    int gammaSize = 0;        // a usable size while the control lives, else 0
    bool asked = false;       // a sync after the output's objects was sent
    bool ready = false;       // everything the compositor first says about it has arrived
    QString failure;          // why there is no control (any more); said once
    bool failureSaid = false;
    bool refused = false;     // the compositor failed the control: it may give it later
    bool askAgain = false;    // a refused control is asked for again at the next takeControls()
    std::optional<GammaRamp> pending; // the last ramp written while the socket was full
};

namespace {
// Three letters packed five bits each, as in an EDID: the make wlroots gives when it does not
// know the maker's name.
quint32 pnpVendor(const QString &make)
{
    static const QRegularExpression pnp(QStringLiteral("^[A-Z]{3}$"));
    if (!pnp.match(make).hasMatch())
        return 0;
    quint32 id = 0;
    for (const QChar c : make)
        id = (id << 5) | quint32(c.unicode() - 'A' + 1);
    return id;
}

// A number the compositor wrote as "0x..." (the EDID's product code or serial without a text
// of its own); 0 otherwise.
quint32 edidNumber(const QString &text)
{
    if (!text.startsWith(QLatin1String("0x")))
        return 0;
    bool ok = false;
    const quint32 n = text.mid(2).toUInt(&ok, 16);
    return ok ? n : 0;
}

void destroyHead(WlrGamma::Head &head)
{
    for (zwlr_output_mode_v1 *mode : head.modes) {
        if (head.version >= 3)
            zwlr_output_mode_v1_release(mode);
        else
            zwlr_output_mode_v1_destroy(mode);
    }
    head.modes.clear();
    if (head.version >= 3)
        zwlr_output_head_v1_release(head.proxy);
    else
        zwlr_output_head_v1_destroy(head.proxy);
    head.proxy = nullptr;
}

void destroyControl(WlrGamma::Control &output)
{
    if (output.control)
        zwlr_gamma_control_v1_destroy(output.control);
    output.control = nullptr;
    output.gammaSize = 0;
    output.pending.reset();
}
} // namespace

// The protocol's listeners, which reach the private parts.
struct WlrGammaListeners {
    using Control = WlrGamma::Control;
    using Head = WlrGamma::Head;

    static void geometry(void *data, wl_output *, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char *make,
                         const char *model, int32_t)
    {
        auto *o = static_cast<Control *>(data);
        o->position = QPoint(x, y);
        o->make = QString::fromUtf8(make);
        o->model = QString::fromUtf8(model);
        o->owner->m_changed = true;
    }
    static void mode(void *data, wl_output *, uint32_t flags, int32_t width, int32_t height, int32_t refresh)
    {
        auto *o = static_cast<Control *>(data);
        DisplayMode m;
        m.width = m.pixelWidth = width;
        m.height = m.pixelHeight = height;
        m.refreshRate = refresh > 0 && refresh / 1000.0 <= kMaxRefreshRate ? refresh / 1000.0 : 0;
        qsizetype index = o->modes.indexOf(m);
        if (index < 0) {
            o->modes.append(m);
            index = o->modes.size() - 1;
        }
        if (flags & WL_OUTPUT_MODE_CURRENT)
            o->currentMode = int(index);
        o->owner->m_changed = true;
    }
    static void done(void *, wl_output *) {}
    static void scale(void *, wl_output *, int32_t) {}
    static void name(void *data, wl_output *, const char *name)
    {
        auto *o = static_cast<Control *>(data);
        o->outputName = QString::fromUtf8(name);
        o->owner->m_changed = true;
    }
    static void description(void *, wl_output *, const char *) {}

    static void gammaSize(void *data, zwlr_gamma_control_v1 *, uint32_t size)
    {
        auto *o = static_cast<Control *>(data);
        o->owner->control(o, false, size);
    }
    static void failed(void *data, zwlr_gamma_control_v1 *)
    {
        auto *o = static_cast<Control *>(data);
        o->owner->control(o, true, 0);
    }

    static void head(void *data, zwlr_output_manager_v1 *manager, zwlr_output_head_v1 *proxy)
    {
        static const zwlr_output_head_v1_listener listener = {
            &headName, &headDescription, &headPhysicalSize, &headMode, &headEnabled, &headCurrentMode,
            &headPosition, &headTransform, &headScale, &headFinished, &headMake, &headModel, &headSerial,
            &headAdaptiveSync};
        auto *self = static_cast<WlrGamma *>(data);
        auto head = std::make_unique<Head>();
        head->owner = self;
        head->proxy = proxy;
        head->version = wl_proxy_get_version(reinterpret_cast<wl_proxy *>(manager));
        zwlr_output_head_v1_add_listener(proxy, &listener, head.get());
        self->m_headList.push_back(std::move(head));
        self->m_changed = true;
    }
    static void managerDone(void *, zwlr_output_manager_v1 *, uint32_t) {}
    static void managerFinished(void *data, zwlr_output_manager_v1 *manager)
    {
        auto *self = static_cast<WlrGamma *>(data);
        zwlr_output_manager_v1_destroy(manager);
        self->m_heads = nullptr;
    }

    static void headText(void *data, QString Head::*field, const char *text)
    {
        auto *h = static_cast<Head *>(data);
        h->*field = QString::fromUtf8(text);
        h->owner->m_changed = true;
    }
    static void headName(void *data, zwlr_output_head_v1 *, const char *t) { headText(data, &Head::name, t); }
    static void headMake(void *data, zwlr_output_head_v1 *, const char *t) { headText(data, &Head::make, t); }
    static void headModel(void *data, zwlr_output_head_v1 *, const char *t) { headText(data, &Head::model, t); }
    static void headSerial(void *data, zwlr_output_head_v1 *, const char *t) { headText(data, &Head::serial, t); }
    static void headDescription(void *, zwlr_output_head_v1 *, const char *) {}
    static void headPhysicalSize(void *, zwlr_output_head_v1 *, int32_t, int32_t) {}
    static void headMode(void *data, zwlr_output_head_v1 *, zwlr_output_mode_v1 *mode)
    {
        // The modes come from the wl_output; these are only kept to be released.
        static_cast<Head *>(data)->modes.push_back(mode);
    }
    static void headEnabled(void *, zwlr_output_head_v1 *, int32_t) {}
    static void headCurrentMode(void *, zwlr_output_head_v1 *, zwlr_output_mode_v1 *) {}
    static void headPosition(void *, zwlr_output_head_v1 *, int32_t, int32_t) {}
    static void headTransform(void *, zwlr_output_head_v1 *, int32_t) {}
    static void headScale(void *, zwlr_output_head_v1 *, wl_fixed_t) {}
    static void headAdaptiveSync(void *, zwlr_output_head_v1 *, uint32_t) {}
    static void headFinished(void *data, zwlr_output_head_v1 *)
    {
        auto *h = static_cast<Head *>(data);
        WlrGamma *self = h->owner;
        destroyHead(*h);
        std::erase_if(self->m_headList, [h](const auto &p) { return p.get() == h; });
        self->m_changed = true;
    }
};

WlrGamma::WlrGamma(WaylandConnection *connection, QObject *parent) : GammaMethod(parent), m_connection(connection)
{
    if (!connection || !connection->isConnected()) {
        // Said with the displays' reason.
        m_problem = connection ? connection->problem() : QStringLiteral("No Wayland connection");
        return;
    }
    connect(connection, &WaylandConnection::ready, this, &WlrGamma::start);
    connect(connection, &WaylandConnection::globalAdded, this, [this](const WaylandConnection::Global &global) {
        if (global.interface == wl_output_interface.name) {
            addOutput(global);
        } else if (global.interface == zwlr_gamma_control_manager_v1_interface.name && !m_manager) {
            m_manager = m_connection->bind<zwlr_gamma_control_manager_v1>(
                global, &zwlr_gamma_control_manager_v1_interface, 1);
            m_problem.clear();
            takeControls();
        }
    });
    connect(connection, &WaylandConnection::globalRemoved, this, [this](const WaylandConnection::Global &global) {
        if (global.interface == wl_output_interface.name)
            removeOutput(global.name);
    });
    connect(connection, &WaylandConnection::dispatched, this, &WlrGamma::afterDispatch);
    connect(connection, &WaylandConnection::drained, this, &WlrGamma::sendPending);
    connect(connection, &WaylandConnection::closed, this, &WlrGamma::dropEverything);
    if (connection->isReady())
        start();
}

WlrGamma::~WlrGamma()
{
    dropEverything({});
}

void WlrGamma::start()
{
    const auto gamma = m_connection->global(zwlr_gamma_control_manager_v1_interface.name);
    if (gamma) {
        m_manager = m_connection->bind<zwlr_gamma_control_manager_v1>(*gamma, &zwlr_gamma_control_manager_v1_interface,
                                                                      1);
    } else {
        m_problem = QStringLiteral("This desktop does not let applications set the screens' gamma (its compositor "
                                   "offers no wlroots gamma control).");
        m_log.info("%s", qUtf8Printable(m_problem));
    }
    if (const auto heads = m_connection->global(zwlr_output_manager_v1_interface.name)) {
        static const zwlr_output_manager_v1_listener listener = {&WlrGammaListeners::head,
                                                                 &WlrGammaListeners::managerDone,
                                                                 &WlrGammaListeners::managerFinished};
        m_heads = m_connection->bind<zwlr_output_manager_v1>(*heads, &zwlr_output_manager_v1_interface, 4);
        if (m_heads)
            zwlr_output_manager_v1_add_listener(m_heads, &listener, this);
    }
    m_starting = true;
    for (const WaylandConnection::Global &global : m_connection->globals()) {
        if (global.interface == wl_output_interface.name)
            addOutput(global);
    }
    m_starting = false;
    // One sync answers for all outputs, so that the first layout has them all.
    takeControls();
    m_connection->flush();
}

void WlrGamma::addOutput(const WaylandConnection::Global &global)
{
    static const wl_output_listener listener = {&WlrGammaListeners::geometry, &WlrGammaListeners::mode,
                                                &WlrGammaListeners::done,     &WlrGammaListeners::scale,
                                                &WlrGammaListeners::name,     &WlrGammaListeners::description};
    auto output = std::make_unique<Control>();
    output->owner = this;
    output->name = global.name;
    output->version = std::min<quint32>(global.version, 4);
    output->output = m_connection->bind<wl_output>(global, &wl_output_interface, 4);
    if (!output->output)
        return;
    wl_output_add_listener(output->output, &listener, output.get());
    m_outputs.push_back(std::move(output));
    if (!m_starting) {
        // Outputs changed: a control refused before may be free now.
        askAgainForRefused();
        takeControls();
    }
}

void WlrGamma::takeControls()
{
    static const zwlr_gamma_control_v1_listener listener = {&WlrGammaListeners::gammaSize,
                                                            &WlrGammaListeners::failed};
    for (const auto &output : m_outputs) {
        if (!m_manager || output->control || (!output->failure.isEmpty() && !output->askAgain))
            continue;
        const bool again = std::exchange(output->askAgain, false);
        output->control = zwlr_gamma_control_manager_v1_get_gamma_control(m_manager, output->output);
        zwlr_gamma_control_v1_add_listener(output->control, &listener, output.get());
        // An output known before stays in the layout while its control is asked for again.
        if (!again)
            output->ready = output->asked = false;
    }
    syncNewOutputs();
}

void WlrGamma::syncNewOutputs()
{
    // The compositor answers a sync after it has answered every request before it: the
    // output's description and its gamma size (or refusal) have come by then.
    if (m_sync || !m_connection || !m_connection->isReady())
        return;
    const bool waiting = std::any_of(m_outputs.cbegin(), m_outputs.cend(), [](const auto &o) { return !o->ready; });
    if (!waiting && m_ready)
        return;
    for (const auto &output : m_outputs)
        output->asked = true;
    static const wl_callback_listener listener = {&WlrGamma::syncDone};
    m_sync = wl_display_sync(m_connection->display());
    wl_callback_add_listener(m_sync, &listener, this);
}

void WlrGamma::syncDone(void *data, wl_callback *callback, uint32_t)
{
    auto *self = static_cast<WlrGamma *>(data);
    wl_callback_destroy(callback);
    self->m_sync = nullptr;
    for (const auto &output : self->m_outputs) {
        if (output->asked)
            output->ready = true;
    }
    self->m_ready = true;
    self->m_changed = true;
    self->syncNewOutputs();
}

void WlrGamma::control(Control *output, bool failed, quint32 size)
{
    const QString name = output->outputName.isEmpty() ? QStringLiteral("output %1").arg(output->name)
                                                      : output->outputName;
    const QString before = output->failure;
    output->refused = failed;
    if (failed) {
        output->failure = QStringLiteral("The compositor refuses the gamma control of %1: another program holds "
                                         "it, the output went, or it has no gamma ramps")
                              .arg(name);
    } else if (!isUsableGammaRampSize(int(qMin<quint32>(size, INT_MAX)))) {
        output->failure = QStringLiteral("The compositor gives %1 a gamma ramp of %2 entries, which cannot be used")
                              .arg(name)
                              .arg(size);
    } else {
        if (!output->failure.isEmpty())
            m_log.info("The compositor gives the gamma control of %s now", qUtf8Printable(name));
        output->failure.clear();
        output->failureSaid = false;
        output->gammaSize = int(size);
        m_changed = true;
        return;
    }
    destroyControl(*output);
    // Refused again for the same cause: said once, and nothing changed.
    if (output->failure == before && !before.isEmpty())
        return;
    output->failureSaid = false;
    m_changed = true;
}

QString WlrGamma::crtcName(quint32 crtc) const
{
    for (const auto &output : m_outputs) {
        if (output->name == crtc && !output->outputName.isEmpty())
            return QStringLiteral("the gamma control of %1").arg(output->outputName);
    }
    return QStringLiteral("the gamma control of output %1").arg(crtc);
}

void WlrGamma::askAgain(quint32 crtc)
{
    for (const auto &output : m_outputs) {
        if (output->name == crtc && output->refused && !output->control)
            output->askAgain = true;
    }
    takeControls();
    if (m_connection)
        m_connection->flush();
}

void WlrGamma::askAgainForRefused()
{
    for (const auto &output : m_outputs) {
        if (output->refused && !output->control)
            output->askAgain = true;
    }
}

void WlrGamma::removeOutput(quint32 name)
{
    const auto it = std::find_if(m_outputs.begin(), m_outputs.end(), [name](const auto &o) { return o->name == name; });
    if (it == m_outputs.end())
        return;
    destroyControl(**it);
    if ((*it)->version >= 3)
        wl_output_release((*it)->output);
    else
        wl_output_destroy((*it)->output);
    m_outputs.erase(it);
    m_changed = true;
    askAgainForRefused();
    takeControls();
}

void WlrGamma::afterDispatch()
{
    for (const auto &output : m_outputs) {
        if (output->failure.isEmpty() || output->failureSaid)
            continue;
        // A refusal or a size that cannot be used: the output has no ramp, and the page says why.
        output->failureSaid = true;
        m_log.error("%s", qUtf8Printable(output->failure));
        emit writeFailed(output->name, output->failure);
    }
    if (m_changed && m_ready) {
        m_changed = false;
        emit layoutChanged();
    }
}

void WlrGamma::dropEverything(const QString &reason)
{
    if (!reason.isEmpty())
        m_problem = reason;
    if (m_sync)
        wl_callback_destroy(m_sync);
    m_sync = nullptr;
    const bool had = !m_outputs.empty();
    for (const auto &output : m_outputs) {
        destroyControl(*output);
        if (output->version >= 3)
            wl_output_release(output->output);
        else
            wl_output_destroy(output->output);
    }
    m_outputs.clear();
    for (const auto &head : m_headList)
        destroyHead(*head);
    m_headList.clear();
    if (m_heads)
        zwlr_output_manager_v1_destroy(m_heads);
    m_heads = nullptr;
    if (m_manager)
        zwlr_gamma_control_manager_v1_destroy(m_manager);
    m_manager = nullptr;
    if (m_connection && m_connection->isConnected())
        m_connection->flush();
    // Said after the call that broke the connection (a write, say) has returned.
    if (had && !reason.isEmpty())
        QMetaObject::invokeMethod(this, &GammaMethod::layoutChanged, Qt::QueuedConnection);
}

const WlrGamma::Head *WlrGamma::headOf(const Control &output) const
{
    if (!output.outputName.isEmpty()) {
        for (const auto &head : m_headList) {
            if (head->name == output.outputName)
                return head.get();
        }
        return nullptr;
    }
    // An output of version 3 has no name: its make and model are the head's, if only one has them.
    const Head *found = nullptr;
    for (const auto &head : m_headList) {
        if (head->make == output.make && head->model == output.model) {
            if (found)
                return nullptr;
            found = head.get();
        }
    }
    return found;
}

QString WlrGamma::unavailableReason() const
{
    return m_problem;
}

GammaMethod::Layout WlrGamma::layout() const
{
    Layout layout;
    for (const auto &output : m_outputs) {
        if (!output->ready)
            continue;
        Output out;
        const Head *head = headOf(*output);
        out.name = !output->outputName.isEmpty() ? output->outputName
                   : head                        ? head->name
                                                 : QStringLiteral("%1 %2").arg(output->make, output->model).trimmed();
        out.crtc = output->name;
        out.builtIn = isPanelConnectorName(out.name);
        // Wayland knows no main output: the first one stands in.
        out.primary = layout.outputs.isEmpty();
        if (head && !(head->make.isEmpty() && head->model.isEmpty() && head->serial.isEmpty())) {
            // Only the head's texts are known; monitorDisplayId() tells monitors by the
            // numbers and the serial text, so all three texts make the serial text.
            out.edid.valid = true;
            out.edid.manufacturer = head->make;
            out.edid.name = head->model;
            out.edid.vendor = pnpVendor(head->make);
            out.edid.model = edidNumber(head->model);
            out.edid.serial = edidNumber(head->serial);
            out.edid.serialText = head->make + QLatin1Char('\n') + head->model + QLatin1Char('\n') + head->serial;
        }
        out.modes = output->modes;
        out.currentMode = output->currentMode;
        out.position = output->position;
        if (output->currentMode >= 0) {
            out.pixelsWide = output->modes[output->currentMode].pixelWidth;
            out.pixelsHigh = output->modes[output->currentMode].pixelHeight;
        }
        layout.outputs.append(out);
        if (output->control && output->gammaSize > 0)
            layout.gammaSizes.insert(output->name, output->gammaSize);
    }
    return layout;
}

GammaMethod::Result WlrGamma::writeRamp(quint32 crtc, const GammaRamp &ramp)
{
    if (!m_connection || !m_connection->isConnected())
        return {Status::gone, m_problem};
    const auto it = std::find_if(m_outputs.begin(), m_outputs.end(),
                                 [crtc](const auto &o) { return o->name == crtc && o->ready; });
    if (it == m_outputs.end())
        return {Status::unknownCrtc, QStringLiteral("The compositor has no output %1 (any more)").arg(crtc)};
    Control &output = **it;
    if (!output.control)
        return {Status::refused, output.failure.isEmpty() ? QStringLiteral("The output has no gamma control")
                                                          : output.failure};
    const int size = output.gammaSize;
    if (ramp.red.size() != size || ramp.green.size() != size || ramp.blue.size() != size)
        return {Status::wrongSize,
                QStringLiteral("A ramp of %1 entries does not fit a gamma ramp of %2").arg(ramp.size()).arg(size)};

    // While the compositor reads nothing, only the last ramp of each output waits: queueing
    // every one would overflow the connection's buffer.
    if (m_connection->isBackedUp()) {
        output.pending = ramp;
        return {};
    }
    output.pending.reset();
    return sendRamp(output, ramp);
}

void WlrGamma::sendPending()
{
    for (const auto &output : m_outputs) {
        if (!output->pending || !output->control)
            continue;
        const GammaRamp ramp = *std::exchange(output->pending, std::nullopt);
        const Result result = sendRamp(*output, ramp);
        if (result.status == Status::gone)
            return; // the outputs went with the connection
        if (!result.ok()) {
            m_log.error("%s", qUtf8Printable(result.reason));
            emit writeFailed(output->name, result.reason);
        }
        if (m_connection->isBackedUp())
            return;
    }
}

GammaMethod::Result WlrGamma::sendRamp(Control &output, const GammaRamp &ramp)
{
    const int size = output.gammaSize;
    const auto fail = [](const char *what) {
        return Result{Status::refused, QStringLiteral("Cannot hand the ramp to the compositor: %1 (%2)")
                                           .arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)))};
    };
    const int fd = memfd_create("quellvista-gamma-ramp", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return fail("memfd_create");
    const size_t channel = size_t(size) * sizeof(quint16);
    // pwrite leaves the file offset at 0: the compositor reads from the offset the file has.
    bool written = ftruncate(fd, off_t(3 * channel)) == 0;
    const QList<quint16> *channels[] = {&ramp.red, &ramp.green, &ramp.blue};
    for (int i = 0; written && i < 3; ++i)
        written = pwrite(fd, channels[i]->constData(), channel, off_t(i * channel)) == ssize_t(channel);
    if (!written) {
        const Result result = fail("writing the memory file");
        ::close(fd);
        return result;
    }
    if (fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
        const Result result = fail("sealing the memory file");
        ::close(fd);
        return result;
    }
    zwlr_gamma_control_v1_set_gamma(output.control, fd);
    ::close(fd); // the request took a copy
    if (!m_connection->flush())
        return {Status::gone, m_problem};
    return {};
}

} // namespace qv::host
