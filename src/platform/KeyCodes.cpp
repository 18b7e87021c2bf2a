#include "platform/KeyCodes.h"

#include "platform/HotKeys.h"
#include "platform/MachineWords.h"

#include <array>
#include <utility>

namespace qv {

namespace {
// Virtual key code and the character on its key.
constexpr std::array<std::pair<int, char>, 36> kAnsiKeys{{
    {0, 'A'},  {1, 'S'},  {2, 'D'},  {3, 'F'},  {4, 'H'},  {5, 'G'},  {6, 'Z'},  {7, 'X'},  {8, 'C'},
    {9, 'V'},  {11, 'B'}, {12, 'Q'}, {13, 'W'}, {14, 'E'}, {15, 'R'}, {16, 'Y'}, {17, 'T'}, {31, 'O'},
    {32, 'U'}, {34, 'I'}, {35, 'P'}, {37, 'L'}, {38, 'J'}, {40, 'K'}, {45, 'N'}, {46, 'M'}, {18, '1'},
    {19, '2'}, {20, '3'}, {21, '4'}, {23, '5'}, {22, '6'}, {26, '7'}, {28, '8'}, {25, '9'}, {29, '0'},
}};
} // namespace

QChar characterForKeyCode(int keyCode)
{
    for (const auto &[code, character] : kAnsiKeys)
        if (code == keyCode)
            return QLatin1Char(character);
    return {};
}

int keyCodeForCharacter(QChar character)
{
    const QChar upper = character.toUpper();
    for (const auto &[code, key] : kAnsiKeys)
        if (upper == QLatin1Char(key))
            return code;
    return -1;
}

QString hotKeyText(quint32 modifiers, QChar key)
{
    return hotKeyText(modifiers, key, machineWords().keysByName());
}

QString hotKeyText(quint32 modifiers, QChar key, bool desktopWords)
{
    QString text;
    if (desktopWords) {
        const std::pair<quint32, const char *> names[] = {{kHotKeyCommand, "Super+"},
                                                          {kHotKeyControl, "Ctrl+"},
                                                          {kHotKeyOption, "Alt+"},
                                                          {kHotKeyShift, "Shift+"}};
        for (const auto &[bit, name] : names)
            if (modifiers & bit)
                text += QLatin1String(name);
    } else {
        const std::pair<quint32, char16_t> signs[] = {
            {kHotKeyCommand, u'\u2318'}, {kHotKeyShift, u'\u21E7'}, {kHotKeyOption, u'\u2325'}, {kHotKeyControl, u'\u2303'}};
        for (const auto &[bit, sign] : signs)
            if (modifiers & bit)
                text += QChar(sign);
    }
    return text + key;
}

} // namespace qv
