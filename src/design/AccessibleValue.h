#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <functional>

class QAccessibleInterface;
class QQuickItem;
class QQuickWindow;
class QQmlEngine;
class QJSEngine;

namespace qv::design {

// Assistive technology reads a control's value as text ("40 percent", "On", "Expanded")
// where the control says it: a QML item with a text property `accessibleValue` is described
// by an interface of ours that gives that text as its value (spoken: "40%" reads "40
// percent"), and its name, description, role and states from its Accessible attached
// properties. Such a control is a leaf: the texts shown inside it that its name and value
// do not say are read as its description, after a slider's value (the AT-SPI bridge
// carries a value as a number only). A disabled control is disabled in the tree (Qt Quick
// 6.4 does not say so), Tab passes it by, and its "Press" does nothing. An item with a bool
// property `accessibleExpanded` is expandable, expanded or collapsed as it says. An item
// with an int property `accessibleRole` (a menu entry, a picker, the shared buttons) is
// described the same way, with that role, checkable when it has `accessibleChecked` (or as
// its bool `accessibleCheckable` says). An item that also has a bool property
// `accessibleChecked` is a switch: checkable, checked as that property says (Qt Quick's
// buttons write their own state over the attached one). A slider keeps a number for
// assistive technology to read and set, counted in the steps its row shows (its `keyStep`,
// else hundredths of its range): 84 for "84%", not 0.84. Qt Quick offers no text value of
// its own. The application's own interface lists its open pop-up menus (the gear menu)
// among its children, which Qt leaves out, and each window's lists the sheet open in it
// alone (windowTreeTop()). Installed once, by prepareEngine().
void installAccessibleValues();

// The nodes at the top of a window's accessibility tree: the window's own, or, while a
// sheet is open in it (SheetFocus), the sheet's alone (the outermost item that holds
// nothing else); the page behind is not in the tree until the sheet closes.
QList<QQuickItem *> windowTreeTop(QQuickWindow *window);
// Runs a change of what is open in a window and tells assistive technology which nodes
// left the top of its tree and which came.
void changeWindowTree(QQuickWindow *window, const std::function<void()> &change);
// Tells assistive technology that the nodes at the top of a window's tree came: after a
// sheet that held the tree went away with its items.
void announceWindowTree(QQuickWindow *window);

// The factory itself (for tests): an interface for such an item, else nothing.
QAccessibleInterface *accessibleValueFactory(const QString &className, QObject *object);

// A value counted in whole steps as a row shows it: cut towards zero, not rounded.
double shownSteps(double value, double step);

// Where a scroll bar is, from its position and the size of its thumb (Qt Quick's, fractions
// of the track): the percentage of the way along, 0 while nothing scrolls. Assistive
// technology reads it as the bar's value, from 0 to 100, and the bar's name says which way
// it scrolls ("Horizontal", "Vertical").
double scrollBarPercent(double position, double size);

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
    // A block's value while it opens and closes: "Expanded" or "Collapsed".
    Q_INVOKABLE static QString expanded(bool open) { return open ? QStringLiteral("Expanded") : QStringLiteral("Collapsed"); }
    // A value as it is spoken: "84%" reads "84 percent"; any other text is left as it is.
    Q_INVOKABLE static QString spoken(const QString &text);
    // A figure of a statistics tile as one text: "Breaks Today: 3", the title alone while
    // there is no figure.
    Q_INVOKABLE static QString figure(const QString &title, const QString &value);
    // What assistive technology reads of a shown text: the text itself, without the tags
    // of styled or rich text.
    Q_INVOKABLE static QString heard(const QString &text, int textFormat);
    // Whether a text only repeats what it lies in: the nearest item above it that
    // assistive technology reads (a button, a switch, a field, a figure "Breaks Today: 3")
    // has a name, value or description that holds the text.
    Q_INVOKABLE static bool repeatsOwner(QQuickItem *text, const QString &shown);
};

} // namespace qv::design
