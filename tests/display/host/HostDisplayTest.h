#pragma once

#include "display/DisplayTestSupport.h"
#include "display/ScreenDetector.h"
#include "platform/Platform.h"
#include "platform/host/HostDisplays.h"

#include <memory>

namespace qv::test {

// The display tests' ground on a real X server: the RandR back-end installed as the
// platform's displays and a screen detector following its reconfigurations.
class HostDisplayTest : public DisplayTest {
protected:
    void openDisplays(const QString &display)
    {
        HostDisplays::Options options;
        options.displayName = display;
        options.restoreFilePath = dir->filePath(QStringLiteral("gamma.json"));
        randr = std::make_unique<HostDisplays>(options);
        PlatformServices services = platform();
        services.displays = randr.get();
        installPlatform(services);
        detector = std::make_unique<ScreenDetector>(DisplayEngine::shared());
        detector->registerForReconfiguration();
    }
    void TearDown() override
    {
        detector.reset();
        if (randr)
            randr->restoreColorSyncSettings();
        DisplayTest::TearDown();
        randr.reset();
    }

    std::unique_ptr<HostDisplays> randr;
    std::unique_ptr<ScreenDetector> detector;
};

} // namespace qv::test
