#pragma once

#include <QObject>
#include <QString>

namespace qv {

// For measuring scripts that drive the running application with the pointer: when the
// environment names a file in QUELLVISTA_CONTROL_LIST, the sliders of every window are
// written there once a second, one a line: "slider<TAB>name<TAB>x y width height<TAB>value minimum maximum"
// (screen pixels; the values as the slider holds them), and the buttons and text fields the
// same way, "button" or "text" first and, for a text field, its length last; each shown
// window first, "window<TAB>title<TAB>x y width height" (its size as it draws). Nothing
// happens without the variable.
class ControlListing : public QObject {
    Q_OBJECT
public:
    explicit ControlListing(QObject *parent = nullptr);

    // The lines for the application's windows as they are now.
    static QString listSliders();
};

} // namespace qv
