#pragma once

#include <QChar>

namespace qv {

// The character on the key of a virtual key code in the ANSI layout: the letters (upper
// case) and the digits of the main rows. A null character for every other key.
QChar characterForKeyCode(int keyCode);
// The virtual key code of a letter (either case) or digit, -1 for any other character.
int keyCodeForCharacter(QChar character);

} // namespace qv
