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
    // Whether the glyph is drawn with a slash across it: Material Icons has no crossed-out
    // star, so "star.slash" is the outlined star struck through.
    Q_INVOKABLE static bool isSlashed(const QString &name);
    static bool isMapped(const QString &name);
    static QStringList mappedNames();
    // The Material Icons name the glyph is known by ("visibility" for "eye").
    static QString materialName(const QString &name);
    static QString fallbackGlyph();
    static QString fontFamily();

    // The symbol font's pixel size for a symbol drawn beside text of `pointSize`. Material
    // Icons draw within the middle 20 units of a 24-unit em, while a system symbol at a
    // point size spans about that size: the glyphs are enlarged by 24/20, so that a 14-point
    // gear is 14 pixels tall and sits level with 14-point text.
    Q_INVOKABLE static int pixelSize(qreal pointSize);
    static constexpr qreal kScale = 24.0 / 20.0;
};

} // namespace qv
