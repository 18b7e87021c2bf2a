// A client of the wlroots gamma control that sets every output's ramp to kWarmFormula's,
// says what it knows of each ("output NAME SIZE MAKE|MODEL|SERIAL") and "written N" (the
// number of ramps set) after every change, and waits to be killed.

#include "platform/host/wayland/WlrGamma.h"
#include "support/wayland/WlrTestFormula.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qv::Logger log("HostDisplays");
    qv::host::WaylandConnection connection(QString(), log);
    qv::host::WlrGamma gamma(&connection);
    QObject::connect(&gamma, &qv::host::GammaMethod::layoutChanged, &app, [&] {
        const auto layout = gamma.layout();
        for (const auto &output : layout.outputs)
            std::printf("output %s %d %s\n", qPrintable(output.name), layout.gammaSizes.value(output.crtc),
                        qPrintable(QString(output.edid.serialText).replace(QLatin1Char('\n'), QLatin1Char('|'))));
        int written = 0;
        for (auto it = layout.gammaSizes.cbegin(); it != layout.gammaSizes.cend(); ++it)
            written += gamma.writeRamp(it.key(), qv::gammaRampForFormula(qv::test::kWarmFormula, it.value())).ok();
        std::printf("written %d\n", written);
        std::fflush(stdout);
    });
    QObject::connect(&connection, &qv::host::WaylandConnection::closed, &app, &QCoreApplication::quit);
    return app.exec();
}
