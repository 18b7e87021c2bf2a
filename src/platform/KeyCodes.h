#pragma once

#include <QChar>
#include <QString>
#include <QtGlobal>

namespace qv {

// The character on the key of a virtual key code in the ANSI layout: the letters (upper
// case) and the digits of the main rows. A null character for every other key.
QChar characterForKeyCode(int keyCode);
// The virtual key code of a letter (either case) or digit, -1 for any other character.
int keyCodeForCharacter(QChar character);

// A hot key (kHotKey* modifiers and a key's character) as the user of this computer reads
// it: the Mac's signs on the simulated Mac ("⌘⇧D"); on the host the key names the desktop
// writes, joined by "+" ("Super+Shift+D"), since the command modifier is the Super key there.
QString hotKeyText(quint32 modifiers, QChar key);
// The same in the desktop's key names (desktopWords) or in the Mac's signs, wherever it runs.
QString hotKeyText(quint32 modifiers, QChar key, bool desktopWords);

} // namespace qv
