#pragma once

#include <QString>

class QAccessibleInterface;
class QObject;

namespace qv {

// A menu entry that can be ticked is read as a check box, checked or not, by assistive
// technology: the AT-SPI bridge of Qt 6.4 carries no "checkable" state and has no role for
// a check menu item, so a ticked entry read as a plain menu item said "checked" and an
// unticked one nothing at all. Press and Toggle trigger the entry as a click does.
// Installed once, by the first menu that holds such entries.
void installCheckableMenuEntries();

// The factory itself (for tests): an interface for a checkable action of a menu, else nothing.
QAccessibleInterface *checkableMenuEntryFactory(const QString &className, QObject *object);

} // namespace qv
