#pragma once

#include "platform/Types.h"

#include <QList>
#include <QObject>
#include <QRectF>
#include <QString>

#include <optional>

namespace qv {

// One screen of the windowing system.
struct ScreenInfo {
    std::optional<DisplayId> displayNumber; // the "NSScreenNumber" entry
    QString localizedName;
    QRectF frame;        // global coordinates, points
    QRectF visibleFrame; // without menu bar and dock
    double backingScaleFactor = 1.0;
};

class Screens : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual QList<ScreenInfo> screens() = 0;

signals:
    // The screens' arrangement or parameters changed.
    void parametersChanged();
};

} // namespace qv
