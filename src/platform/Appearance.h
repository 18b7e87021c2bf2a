#pragma once

#include <QObject>
#include <QString>

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

signals:
    // The system appearance changed.
    void systemAppearanceChanged();
};

} // namespace qv
