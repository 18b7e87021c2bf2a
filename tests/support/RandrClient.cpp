#include "support/RandrClient.h"

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace qv::test {

namespace {
struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;
} // namespace

RandrClient::RandrClient(const QString &display)
{
    const QByteArray name = display.toLocal8Bit();
    int screen = 0;
    xcb_connection_t *c = xcb_connect(name.isEmpty() ? nullptr : name.constData(), &screen);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screen && it.rem; ++i)
        xcb_screen_next(&it);
    m_connection = c;
    m_root = it.data->root;
}

RandrClient::~RandrClient()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

quint32 RandrClient::output(const QString &name)
{
    if (!m_connection)
        return 0;
    xcb_connection_t *c = m_connection;
    const Reply<xcb_randr_get_screen_resources_current_reply_t> res(
        xcb_randr_get_screen_resources_current_reply(c, xcb_randr_get_screen_resources_current(c, m_root), nullptr));
    if (!res)
        return 0;
    const xcb_randr_output_t *outputs = xcb_randr_get_screen_resources_current_outputs(res.get());
    for (int i = 0; i < xcb_randr_get_screen_resources_current_outputs_length(res.get()); ++i) {
        const Reply<xcb_randr_get_output_info_reply_t> info(
            xcb_randr_get_output_info_reply(c, xcb_randr_get_output_info(c, outputs[i], res->config_timestamp), nullptr));
        if (info
            && QString::fromLatin1(reinterpret_cast<const char *>(xcb_randr_get_output_info_name(info.get())),
                                   xcb_randr_get_output_info_name_length(info.get()))
                   == name)
            return outputs[i];
    }
    return 0;
}

quint32 RandrClient::crtcOf(const QString &name)
{
    const quint32 id = output(name);
    if (!id)
        return 0;
    const Reply<xcb_randr_get_output_info_reply_t> info(
        xcb_randr_get_output_info_reply(m_connection, xcb_randr_get_output_info(m_connection, id, 0), nullptr));
    return info ? info->crtc : 0;
}

QStringList RandrClient::litOutputs()
{
    QStringList names;
    if (!m_connection)
        return names;
    xcb_connection_t *c = m_connection;
    const Reply<xcb_randr_get_screen_resources_current_reply_t> res(
        xcb_randr_get_screen_resources_current_reply(c, xcb_randr_get_screen_resources_current(c, m_root), nullptr));
    if (!res)
        return names;
    const xcb_randr_output_t *outputs = xcb_randr_get_screen_resources_current_outputs(res.get());
    for (int i = 0; i < xcb_randr_get_screen_resources_current_outputs_length(res.get()); ++i) {
        const Reply<xcb_randr_get_output_info_reply_t> info(
            xcb_randr_get_output_info_reply(c, xcb_randr_get_output_info(c, outputs[i], res->config_timestamp), nullptr));
        if (info && info->crtc)
            names << QString::fromLatin1(reinterpret_cast<const char *>(xcb_randr_get_output_info_name(info.get())),
                                         xcb_randr_get_output_info_name_length(info.get()));
    }
    return names;
}

std::optional<GammaRamp> RandrClient::ramp(const QString &output)
{
    const quint32 crtc = crtcOf(output);
    if (!crtc)
        return std::nullopt;
    const Reply<xcb_randr_get_crtc_gamma_reply_t> g(
        xcb_randr_get_crtc_gamma_reply(m_connection, xcb_randr_get_crtc_gamma(m_connection, crtc), nullptr));
    if (!g)
        return std::nullopt;
    const int n = g->size;
    const auto channel = [n](const quint16 *v) { return QList<quint16>(v, v + n); };
    return GammaRamp{channel(xcb_randr_get_crtc_gamma_red(g.get())), channel(xcb_randr_get_crtc_gamma_green(g.get())),
                     channel(xcb_randr_get_crtc_gamma_blue(g.get()))};
}

bool RandrClient::setRamp(const QString &output, const GammaRamp &ramp)
{
    const quint32 crtc = crtcOf(output);
    if (!crtc)
        return false;
    const Reply<xcb_generic_error_t> error(xcb_request_check(
        m_connection, xcb_randr_set_crtc_gamma_checked(m_connection, crtc, quint16(ramp.size()), ramp.red.constData(),
                                                       ramp.green.constData(), ramp.blue.constData())));
    return !error;
}

bool RandrClient::publishEdid(const QString &output, const QByteArray &edid)
{
    const quint32 id = this->output(output);
    if (!id)
        return false;
    xcb_connection_t *c = m_connection;
    const Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, 4, "EDID"), nullptr));
    if (!atom)
        return false;
    const xcb_void_cookie_t cookie =
        edid.isEmpty() ? xcb_randr_delete_output_property_checked(c, id, atom->atom)
                       : xcb_randr_change_output_property_checked(c, id, atom->atom, XCB_ATOM_INTEGER, 8,
                                                                  XCB_PROP_MODE_REPLACE, quint32(edid.size()),
                                                                  edid.constData());
    const Reply<xcb_generic_error_t> error(xcb_request_check(c, cookie));
    return !error;
}

GammaRamp startingRamp(int seed, int size)
{
    GammaRamp ramp;
    const double gammas[3] = {0.8 + 0.15 * seed, 1.1 + 0.1 * seed, 0.9 + 0.2 * seed};
    const double tops[3] = {1.0 - 0.04 * seed, 0.95 - 0.05 * seed, 0.9 - 0.06 * seed};
    QList<quint16> *channels[3] = {&ramp.red, &ramp.green, &ramp.blue};
    for (int c = 0; c < 3; ++c) {
        channels[c]->resize(size);
        for (int i = 0; i < size; ++i) {
            const double x = size > 1 ? double(i) / (size - 1) : 0;
            (*channels[c])[i] = quint16(std::lround(tops[c] * std::pow(x, gammas[c]) * 65535.0));
        }
    }
    return ramp;
}

bool nearlyEqual(const GammaRamp &a, const GammaRamp &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (std::abs(int(a.red[i]) - int(b.red[i])) > 1 || std::abs(int(a.green[i]) - int(b.green[i])) > 1
            || std::abs(int(a.blue[i]) - int(b.blue[i])) > 1)
            return false;
    }
    return true;
}

} // namespace qv::test
