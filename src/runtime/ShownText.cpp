#include "runtime/ShownText.h"

namespace qv::showntext {

bool isDirectionControl(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

QString inert(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text)
        if (!isDirectionControl(c))
            shown += c;
    return shown;
}

} // namespace qv::showntext
