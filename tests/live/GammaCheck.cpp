// Reads the gamma ramp of the X server's first active CRTC (DISPLAY) and checks it:
//   qv_gammacheck save FILE        keeps the ramp in FILE
//   qv_gammacheck same FILE        exit 0 when the ramp equals the one in FILE
//   qv_gammacheck differs FILE     exit 0 when it does not
//   qv_gammacheck preset NAME I    exit 0 when it is the transfer formula of the built-in
//                                  preset NAME at intensity I on a display that is not
//                                  mini-LED, within one 16-bit step at every entry
//   qv_gammacheck values NAME I    prints the stored-defaults members of the tuning values
//                                  of that preset (no ramp needed)
//   qv_gammacheck top FRACTION     exit 0 when every channel's last entry is FRACTION of
//                                  full scale within 1 %
// Answers 1 for "not (yet)", 2 for a fault (no server, no ramp, bad arguments).

#include "comfort/ComfortPreset.h"
#include "display/DisplayTuning.h"
#include "platform/host/GammaRamp.h"

#include <QFile>
#include <QString>

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

std::optional<qv::GammaRamp> readRamp()
{
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return std::nullopt;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    std::optional<qv::GammaRamp> ramp;
    auto *res = xcb_randr_get_screen_resources_current_reply(c, xcb_randr_get_screen_resources_current(c, root), nullptr);
    if (res) {
        const xcb_randr_crtc_t *crtcs = xcb_randr_get_screen_resources_current_crtcs(res);
        for (int i = 0; i < xcb_randr_get_screen_resources_current_crtcs_length(res) && !ramp; ++i) {
            auto *info = xcb_randr_get_crtc_info_reply(c, xcb_randr_get_crtc_info(c, crtcs[i], res->config_timestamp), nullptr);
            if (info && info->mode != XCB_NONE) {
                if (auto *g = xcb_randr_get_crtc_gamma_reply(c, xcb_randr_get_crtc_gamma(c, crtcs[i]), nullptr)) {
                    const int n = g->size;
                    const auto channel = [n](const uint16_t *v) { return QList<quint16>(v, v + n); };
                    ramp = qv::GammaRamp{channel(xcb_randr_get_crtc_gamma_red(g)), channel(xcb_randr_get_crtc_gamma_green(g)),
                                         channel(xcb_randr_get_crtc_gamma_blue(g))};
                    std::free(g);
                }
            }
            std::free(info);
        }
        std::free(res);
    }
    xcb_disconnect(c);
    return ramp;
}

QByteArray bytesOf(const qv::GammaRamp &ramp)
{
    QByteArray bytes;
    for (const auto *channel : {&ramp.red, &ramp.green, &ramp.blue})
        bytes += QByteArray(reinterpret_cast<const char *>(channel->constData()), channel->size() * 2);
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    const QString command = QString::fromLocal8Bit(argv[1]);
    if (command == QLatin1String("values") && argc >= 4) {
        const auto preset = qv::presetFromRawValue(QString::fromLocal8Bit(argv[2]));
        if (!preset)
            return 2;
        const qv::PresetValues p = qv::computedPresetValues(*preset, std::atof(argv[3]));
        std::printf("\"tuning.enabled\":{\"t\":\"bool\",\"v\":true},"
                    "\"tuning.brightness\":{\"t\":\"double\",\"v\":%.17g},"
                    "\"tuning.warmth\":{\"t\":\"double\",\"v\":%.17g},"
                    "\"tuning.contrast\":{\"t\":\"double\",\"v\":%.17g},"
                    "\"tuning.softWhite\":{\"t\":\"double\",\"v\":%.17g},"
                    "\"tuning.highlightCompression\":{\"t\":\"double\",\"v\":%.17g}\n",
                    p.brightness, p.warmth, p.contrastReduction, p.softWhite, p.highlightCompression);
        return 0;
    }
    const std::optional<qv::GammaRamp> ramp = readRamp();
    if (!ramp || ramp->size() < 2) {
        std::fprintf(stderr, "qv_gammacheck: no gamma ramp to read\n");
        return 2;
    }
    if (command == QLatin1String("save")) {
        QFile file(QString::fromLocal8Bit(argv[2]));
        return file.open(QIODevice::WriteOnly) && file.write(bytesOf(*ramp)) > 0 ? 0 : 2;
    }
    if (command == QLatin1String("same") || command == QLatin1String("differs")) {
        QFile file(QString::fromLocal8Bit(argv[2]));
        if (!file.open(QIODevice::ReadOnly))
            return 2;
        const bool same = file.readAll() == bytesOf(*ramp);
        return same == (command == QLatin1String("same")) ? 0 : 1;
    }
    if (command == QLatin1String("top")) {
        const double fraction = std::atof(argv[2]);
        double worst = 0;
        for (const auto *channel : {&ramp->red, &ramp->green, &ramp->blue})
            worst = std::max(worst, std::abs(channel->last() / 65535.0 - fraction));
        std::printf("top %u %u %u\n", ramp->red.last(), ramp->green.last(), ramp->blue.last());
        return worst <= 0.01 ? 0 : 1;
    }
    if (command == QLatin1String("preset") && argc >= 4) {
        const auto preset = qv::presetFromRawValue(QString::fromLocal8Bit(argv[2]));
        if (!preset)
            return 2;
        const qv::PresetValues p = qv::computedPresetValues(*preset, std::atof(argv[3]));
        qv::TuningValues values;
        values.brightness = p.brightness;
        values.warmth = p.warmth;
        values.contrastReduction = p.contrastReduction;
        values.softWhite = p.softWhite;
        values.highlightCompression = p.highlightCompression;
        values.enabled = p.tuningEnabled;
        const qv::TransferFormula formula = qv::DisplayTuning::formula(values, 0, false, false);
        const qv::GammaRamp expected = qv::gammaRampForFormula(formula, ramp->size());
        int worst = 0;
        for (int i = 0; i < ramp->size(); ++i) {
            worst = std::max({worst, std::abs(int(ramp->red[i]) - int(expected.red[i])),
                              std::abs(int(ramp->green[i]) - int(expected.green[i])),
                              std::abs(int(ramp->blue[i]) - int(expected.blue[i]))});
        }
        std::printf("preset: largest difference %d of %d entries\n", worst, ramp->size());
        return worst <= 1 ? 0 : 1;
    }
    return 2;
}
