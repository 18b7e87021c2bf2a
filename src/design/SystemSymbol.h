#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

class QQmlEngine;
class QJSEngine;

namespace qv {

// The system symbols the views name ("eye", "sparkles", "gearshape", ...) drawn with the
// Material Icons font: each name maps to one glyph of that font. A name without a glyph
// draws a visible fallback (a circled exclamation mark) and is logged once.
class SystemSymbol : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString fontFamily READ fontFamily CONSTANT)
public:
    using QObject::QObject;

    static SystemSymbol *create(QQmlEngine *, QJSEngine *);

    // The glyph (one character of the symbol font) for a symbol name.
    Q_INVOKABLE static QString glyph(const QString &name);
    static bool isMapped(const QString &name);
    static QStringList mappedNames();
    // The Material Icons name the glyph is known by ("visibility" for "eye").
    static QString materialName(const QString &name);
    static QString fallbackGlyph();
    static QString fontFamily();
};

} // namespace qv
