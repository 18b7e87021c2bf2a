#include "display/IntegerScalingController.h"

#include "platform/Platform.h"

#include <QSet>

#include <algorithm>
#include <cmath>

namespace qv {

bool isIntegerScaledMode(int displayWidth, int displayHeight, int width, int height)
{
    if (width < 1 || height < 1)
        return false;
    const double sx = double(displayWidth) / width;
    const double sy = double(displayHeight) / height;
    const double rx = std::round(sx); // halves away from zero
    const double ry = std::round(sy);
    return rx >= 1 && rx == ry && std::abs(sx - rx) < 0.01 && std::abs(sy - ry) < 0.01;
}

IntegerScalingController::IntegerScalingController(QObject *parent) : QObject(parent) {}

void IntegerScalingController::setShowAllResolutions(bool show)
{
    if (show == m_showAllResolutions)
        return;
    m_showAllResolutions = show;
    emit showAllResolutionsChanged();
}

void IntegerScalingController::refresh()
{
    Displays &displays = *platform().displays;
    const DisplayId main = displays.mainDisplay();
    const QList<DisplayMode> modes = displays.allModes(main, true);
    if (modes.isEmpty()) {
        publish({});
        return;
    }
    const std::optional<DisplayMode> current = displays.currentMode(main);
    const int displayWidth = displays.pixelsWide(main);
    const int displayHeight = displays.pixelsHigh(main);

    QSet<QString> seen;
    QList<ResolutionOption> all;
    for (const DisplayMode &mode : modes) {
        if (mode.width < 1 || mode.height < 1 || mode.pixelWidth < 1 || mode.pixelHeight < 1)
            continue;
        // The same point and pixel size at another refresh rate is the same choice: the first wins.
        const QString key = QStringLiteral("%1x%2-%3x%4").arg(mode.width).arg(mode.height).arg(mode.pixelWidth).arg(mode.pixelHeight);
        if (seen.contains(key))
            continue;
        seen.insert(key);
        ResolutionOption option;
        option.id = QUuid::createUuid();
        option.mode = mode;
        option.width = mode.width;
        option.height = mode.height;
        option.pixelWidth = mode.pixelWidth;
        option.pixelHeight = mode.pixelHeight;
        option.isIntegerScaled = isIntegerScaledMode(displayWidth, displayHeight, mode.width, mode.height);
        option.isCurrent = current && current->width == mode.width && current->height == mode.height &&
                           current->pixelWidth == mode.pixelWidth && current->pixelHeight == mode.pixelHeight;
        option.isDefault = (mode.ioFlags & 0x1) != 0;
        all << option;
    }

    QList<ResolutionOption> shown;
    if (m_showAllResolutions)
        shown = all;
    else
        std::copy_if(all.begin(), all.end(), std::back_inserter(shown), [](const ResolutionOption &o) { return o.isIntegerScaled; });
    // The current mode first, then the wider ones first; the system's order among equals.
    std::stable_sort(shown.begin(), shown.end(), [](const ResolutionOption &a, const ResolutionOption &b) {
        if (a.isCurrent != b.isCurrent)
            return a.isCurrent;
        return a.width > b.width;
    });
    const qsizetype total = all.size();
    const qsizetype count = shown.size();
    publish(std::move(shown));
    m_log.info("Found %ld total modes, %ld shown", long(total), long(count));
}

void IntegerScalingController::publish(QList<ResolutionOption> options)
{
    m_options = std::move(options);
    const auto current = std::find_if(m_options.cbegin(), m_options.cend(), [](const ResolutionOption &o) { return o.isCurrent; });
    m_currentOption = current == m_options.cend() ? std::nullopt : std::optional<ResolutionOption>(*current);
    emit optionsChanged();
    emit currentOptionChanged();
}

} // namespace qv
