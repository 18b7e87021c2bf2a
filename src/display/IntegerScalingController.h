#pragma once

#include "platform/Displays.h"
#include "runtime/Logging.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

#include <optional>

namespace qv {

// One display mode of the main display as the integer-scaling list shows it. Two options
// are the same option only when their ids are: every refresh makes new ones.
struct ResolutionOption {
    QUuid id;
    DisplayMode mode;
    int width = 0;       // points
    int height = 0;      // points
    int pixelWidth = 0;
    int pixelHeight = 0;
    bool isIntegerScaled = false;
    bool isCurrent = false;
    bool isDefault = false; // bit 0 of the mode's I/O flags

    bool operator==(const ResolutionOption &other) const { return id == other.id; }
};

// Whether a mode of `width` x `height` points divides a display of W x H into the same
// whole factor (at least 1) in both directions, each within 0.01.
bool isIntegerScaledMode(int displayWidth, int displayHeight, int width, int height);

// Lists the main display's modes that scale it by a whole factor. It only lists: nothing
// here switches a mode. refresh() rebuilds the list from the display.
class IntegerScalingController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool showAllResolutions READ showAllResolutions WRITE setShowAllResolutions
                   NOTIFY showAllResolutionsChanged)
public:
    explicit IntegerScalingController(QObject *parent = nullptr);

    const QList<ResolutionOption> &options() const { return m_options; }
    const std::optional<ResolutionOption> &currentOption() const { return m_currentOption; }
    // With this on, the list holds every mode, not only the integer-scaled ones.
    bool showAllResolutions() const { return m_showAllResolutions; }
    void setShowAllResolutions(bool show);

    // Rebuilds options and currentOption from the main display's modes.
    Q_INVOKABLE void refresh();

signals:
    void optionsChanged();
    void currentOptionChanged();
    void showAllResolutionsChanged();

private:
    void publish(QList<ResolutionOption> options);

    QList<ResolutionOption> m_options;
    std::optional<ResolutionOption> m_currentOption;
    bool m_showAllResolutions = false;
    Logger m_log{"IntegerScaling"};
};

} // namespace qv
