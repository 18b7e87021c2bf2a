#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class QAccessibleInterface;
class QQmlEngine;
class QJSEngine;

namespace qv::design {

// Assistive technology reads a control's value as text ("40 percent", "On", "Expanded")
// where the control says it: a QML item with a text property `accessibleValue` is described
// by an interface of ours that gives that text as its value (spoken: "40%" reads "40
// percent"), and its name, description, role and states from its Accessible attached
// properties. An item that also has a bool property `accessibleChecked` is a switch: checkable,
// checked as that property says (Qt Quick's buttons write their own state over the attached
// one). A slider keeps a number for assistive technology to read and set, counted in the
// steps its row shows (its `keyStep`, else hundredths of its range): 84 for "84%", not 0.84.
// Qt Quick offers no text value of its own. Installed once, by prepareEngine().
void installAccessibleValues();

// The factory itself (for tests): an interface for such an item, else nothing.
QAccessibleInterface *accessibleValueFactory(const QString &className, QObject *object);

// A value counted in whole steps as a row shows it: cut towards zero, not rounded.
double shownSteps(double value, double step);

// The values assistive technology reads for the shared controls.
class AccessibleTexts : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    using QObject::QObject;
    static AccessibleTexts *create(QQmlEngine *, QJSEngine *);

    // A switch's value: "On" or "Off".
    Q_INVOKABLE static QString onOff(bool on) { return on ? QStringLiteral("On") : QStringLiteral("Off"); }
    // A value as it is spoken: "84%" reads "84 percent"; any other text is left as it is.
    Q_INVOKABLE static QString spoken(const QString &text);
    // A figure of a statistics tile as one text: "Breaks Today: 3", the title alone while
    // there is no figure.
    Q_INVOKABLE static QString figure(const QString &title, const QString &value);
};

} // namespace qv::design
