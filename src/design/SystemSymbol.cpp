#include "design/SystemSymbol.h"

#include "runtime/Logging.h"

#include <QHash>
#include <QMutex>
#include <QQmlEngine>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace qv {

namespace {

struct Glyph {
    const char *material;
    char16_t codePoint;
    bool slashed = false; // drawn with a slash across it (the font has no glyph of its own)
};

// System symbol name -> Material Icons glyph (its ligature name and code point).
const QHash<QString, Glyph> &table()
{
    static const QHash<QString, Glyph> symbols = {
        {QStringLiteral("sparkles"), {"auto_awesome", 0xe65f}},
        {QStringLiteral("eye"), {"visibility", 0xe8f4}},
        {QStringLiteral("eye.slash"), {"visibility_off", 0xe8f5}},
        {QStringLiteral("eye.trianglebadge.exclamationmark"), {"report_problem", 0xe8b2}},
        {QStringLiteral("clock"), {"schedule", 0xe8b5}},
        {QStringLiteral("timer"), {"timer", 0xe425}},
        {QStringLiteral("lifepreserver"), {"support", 0xef73}},
        {QStringLiteral("gearshape"), {"settings", 0xe8b8}},
        {QStringLiteral("checkmark"), {"check", 0xe5ca}},
        {QStringLiteral("checkmark.circle"), {"check_circle_outline", 0xe92d}},
        {QStringLiteral("checkmark.circle.fill"), {"check_circle", 0xe86c}},
        {QStringLiteral("xmark"), {"close", 0xe5cd}},
        {QStringLiteral("plus"), {"add", 0xe145}},
        {QStringLiteral("plus.square.on.square"), {"library_add", 0xe02e}},
        {QStringLiteral("arrow.clockwise"), {"refresh", 0xe5d5}},
        {QStringLiteral("arrow.counterclockwise"), {"replay", 0xe042}},
        {QStringLiteral("arrow.uturn.backward"), {"undo", 0xe166}},
        {QStringLiteral("arrow.triangle.2.circlepath"), {"sync", 0xe627}},
        {QStringLiteral("arrow.right"), {"arrow_forward", 0xe5c8}},
        {QStringLiteral("chevron.right"), {"chevron_right", 0xe5cc}},
        {QStringLiteral("questionmark.circle"), {"help_outline", 0xe8fd}},
        {QStringLiteral("exclamationmark.triangle"), {"warning_amber", 0xf083}},
        {QStringLiteral("exclamationmark.circle"), {"error_outline", 0xe001}},
        {QStringLiteral("text.bubble"), {"chat_bubble_outline", 0xe0cb}},
        {QStringLiteral("bubble.left.and.bubble.right"), {"forum", 0xe0bf}},
        {QStringLiteral("slider.horizontal.3"), {"tune", 0xe429}},
        {QStringLiteral("waveform.path.ecg"), {"monitor_heart", 0xeaa2}},
        {QStringLiteral("waveform.path.ecg.rectangle"), {"monitor_heart", 0xeaa2}},
        {QStringLiteral("sun.min"), {"brightness_low", 0xe1ad}},
        {QStringLiteral("sun.max"), {"brightness_high", 0xe1ac}},
        {QStringLiteral("sun.max.fill"), {"wb_sunny", 0xe430}},
        {QStringLiteral("sun.haze"), {"wb_twilight", 0xe1c6}},
        {QStringLiteral("moon.fill"), {"dark_mode", 0xe51c}},
        {QStringLiteral("moon.stars"), {"nights_stay", 0xea46}},
        {QStringLiteral("circle.lefthalf.filled"), {"contrast", 0xeb37}},
        {QStringLiteral("star.fill"), {"star", 0xe838}},
        {QStringLiteral("star.slash"), {"star_border", 0xe83a, true}},
        {QStringLiteral("play.fill"), {"play_arrow", 0xe037}},
        {QStringLiteral("pause.fill"), {"pause", 0xe034}},
        {QStringLiteral("pause"), {"pause", 0xe034}},
        {QStringLiteral("folder"), {"folder", 0xe2c7}},
        {QStringLiteral("book.closed"), {"menu_book", 0xea19}},
        {QStringLiteral("bell"), {"notifications", 0xe7f4}},
        {QStringLiteral("bell.slash"), {"notifications_off", 0xe7f6}},
        {QStringLiteral("display"), {"desktop_windows", 0xe30c}},
        {QStringLiteral("display.and.arrow.down"), {"install_desktop", 0xeb71}},
        {QStringLiteral("laptopcomputer"), {"laptop", 0xe31e}},
        {QStringLiteral("tv"), {"tv", 0xe333}},
        {QStringLiteral("ipad.landscape"), {"tablet", 0xe32f}},
        {QStringLiteral("airplayvideo"), {"airplay", 0xe055}},
        {QStringLiteral("videoprojector"), {"co_present", 0xeaf0}},
        {QStringLiteral("rectangle"), {"crop_square", 0xe3c6}},
        {QStringLiteral("rectangle.stack"), {"layers", 0xe53b}},
        {QStringLiteral("rectangle.grid.2x2"), {"grid_view", 0xe9b0}},
        {QStringLiteral("square.grid.2x2"), {"grid_view", 0xe9b0}},
        {QStringLiteral("square.grid.3x3.fill"), {"apps", 0xe5c3}},
        {QStringLiteral("square.dashed"), {"crop_free", 0xe3c2}},
        {QStringLiteral("square.and.arrow.down"), {"save_alt", 0xe171}},
        {QStringLiteral("menubar.rectangle"), {"web_asset", 0xe069}},
        {QStringLiteral("bolt.fill"), {"bolt", 0xea0b}},
        {QStringLiteral("battery.50"), {"battery_4_bar", 0xebe2}},
        {QStringLiteral("chart.bar"), {"bar_chart", 0xe26b}},
        {QStringLiteral("brain.head.profile"), {"psychology", 0xea4a}},
        {QStringLiteral("gauge.with.dots.needle.50percent"), {"speed", 0xe9e4}},
        {QStringLiteral("thermometer.sun"), {"thermostat", 0xf076}},
        {QStringLiteral("textformat.size"), {"format_size", 0xe245}},
        {QStringLiteral("textformat"), {"text_format", 0xe165}},
        {QStringLiteral("keyboard"), {"keyboard", 0xe312}},
        {QStringLiteral("person"), {"person", 0xe7fd}},
        {QStringLiteral("sparkle.magnifyingglass"), {"manage_search", 0xf02f}},
        {QStringLiteral("shield.lefthalf.filled"), {"shield", 0xe9e0}},
        {QStringLiteral("sensor.tag.radiowaves.forward"), {"sensors", 0xe51e}},
        {QStringLiteral("person.crop.circle.badge.checkmark"), {"how_to_reg", 0xe174}},
        {QStringLiteral("cup.and.saucer"), {"local_cafe", 0xe541}},
        {QStringLiteral("bed.double"), {"bed", 0xefdf}},
        {QStringLiteral("paintpalette"), {"palette", 0xe40a}},
        {QStringLiteral("pencil"), {"edit", 0xe3c9}},
        {QStringLiteral("star"), {"star_outline", 0xf06f}},
        {QStringLiteral("trash"), {"delete", 0xe872}},
        {QStringLiteral("circle"), {"radio_button_unchecked", 0xe836}},
        {QStringLiteral("book"), {"book", 0xe865}},
        {QStringLiteral("chevron.up.chevron.down"), {"unfold_more", 0xe5d7}},
        {QStringLiteral("heart"), {"favorite_border", 0xe87e}},
        {QStringLiteral("flame"), {"local_fire_department", 0xef55}},
    };
    return symbols;
}

constexpr char16_t kFallback = 0xe000; // "error": a circled exclamation mark

} // namespace

SystemSymbol *SystemSymbol::create(QQmlEngine *, QJSEngine *)
{
    static SystemSymbol *instance = new SystemSymbol;
    QQmlEngine::setObjectOwnership(instance, QQmlEngine::CppOwnership);
    return instance;
}

QString SystemSymbol::glyph(const QString &name)
{
    const auto it = table().constFind(name);
    if (it != table().constEnd())
        return QString(QChar(it->codePoint));
    static QMutex mutex;
    static QSet<QString> reported;
    {
        QMutexLocker lock(&mutex);
        if (!reported.contains(name)) {
            reported.insert(name);
            static const Logger log("Design");
            log.error("No glyph for the system symbol %s", qUtf8Printable(name));
        }
    }
    return fallbackGlyph();
}

bool SystemSymbol::isSlashed(const QString &name)
{
    const auto it = table().constFind(name);
    return it != table().constEnd() && it->slashed;
}

bool SystemSymbol::isMapped(const QString &name)
{
    return table().contains(name);
}

QStringList SystemSymbol::mappedNames()
{
    QStringList names = table().keys();
    names.sort();
    return names;
}

QString SystemSymbol::materialName(const QString &name)
{
    const auto it = table().constFind(name);
    return it == table().constEnd() ? QString() : QString::fromLatin1(it->material);
}

QString SystemSymbol::fallbackGlyph()
{
    return QString(QChar(kFallback));
}

QString SystemSymbol::fontFamily()
{
    return QStringLiteral("Material Icons");
}

int SystemSymbol::pixelSize(qreal pointSize)
{
    return std::max(1, int(std::lround(pointSize * kScale)));
}

} // namespace qv
