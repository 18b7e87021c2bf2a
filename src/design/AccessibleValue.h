#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class QAccessibleInterface;
class QQmlEngine;
class QJSEngine;

namespace qv::design {

// Assistive technology reads a control's value as text ("40%", "On", "Expanded") where the
// control says it: a QML item with a text property `accessibleValue` is described by an
// interface of ours that gives that text as its value, and its name, description, role and
// states from its Accessible attached properties (a slider also keeps its number for
// assistive technology to set). Qt Quick offers no text value of its own. Installed once,
// by prepareEngine().
void installAccessibleValues();

// The factory itself (for tests): an interface for such an item, else nothing.
QAccessibleInterface *accessibleValueFactory(const QString &className, QObject *object);

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
};

} // namespace qv::design
