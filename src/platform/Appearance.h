#pragma once

#include <QObject>
#include <QString>

#include <optional>

namespace qv {

// The system-wide appearance the user chose in the system settings (light or dark), by
// its appearance name.
class Appearance : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    static constexpr const char *aqua = "NSAppearanceNameAqua";
    static constexpr const char *darkAqua = "NSAppearanceNameDarkAqua";

    // The system's appearance name, e.g. "NSAppearanceNameDarkAqua".
    virtual QString systemAppearanceName() = 0;
    // What the desktop itself says it prefers: true dark, false light, nothing when it
    // states no preference or is not asked (a tray that names no colour of its own is
    // drawn for either then).
    virtual std::optional<bool> desktopPreference() { return std::nullopt; }

signals:
    // The system appearance changed.
    void systemAppearanceChanged();
};

} // namespace qv
