// A client of the wlroots gamma control that sets every output's ramp to kWarmFormula's,
// says "written N" (the number of outputs), and waits to be killed.

#include "platform/host/WlrGamma.h"
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
        int written = 0;
        for (auto it = layout.gammaSizes.cbegin(); it != layout.gammaSizes.cend(); ++it)
            written += gamma.writeRamp(it.key(), qv::gammaRampForFormula(qv::test::kWarmFormula, it.value())).ok();
        std::printf("written %d\n", written);
        std::fflush(stdout);
    });
    QObject::connect(&connection, &qv::host::WaylandConnection::closed, &app, &QCoreApplication::quit);
    return app.exec();
}
