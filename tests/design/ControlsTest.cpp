#include "design/AccessibleValue.h"
#include "design/Design.h"
#include "design/DesignItems.h"
#include "design/Surface.h"
#include "design/SystemSymbol.h"
#include "design/TabularText.h"
#include "design/Theme.h"
#include "support/ItemTree.h"
#include "support/TestEnvironment.h"

#include <QAccessible>
#include <QDirIterator>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlProperty>
#include <QQmlEngine>
#include <QQuickItem>
#include <QRawFont>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <array>
#include <cmath>

using namespace qv;

namespace {

TEST(Sparkline, PointsSpanTheWidthAndAreNotClamped)
{
    const QSizeF size(100, 40);
    EXPECT_TRUE(SparklineItem::points({}, size).isEmpty());
    EXPECT_EQ(SparklineItem::points({0.25}, size), (QList<QPointF>{{0, 30}}));
    EXPECT_EQ(SparklineItem::points({0, 1}, size), (QList<QPointF>{{0, 40}, {100, 0}}));
    EXPECT_EQ(SparklineItem::points({0.5, 1.5, -0.5}, size), (QList<QPointF>{{0, 20}, {50, -20}, {100, 60}}));
}

TEST(Surfaces, HoveringAGlassPanelChangesOnlyItsFill)
{
    for (bool dark : {false, true}) {
        const SurfaceStyle plain = surfaceStyle(SurfaceKind::glassPanel, {}, dark);
        const SurfaceStyle hovered = surfaceStyle(SurfaceKind::glassPanel, {.hovering = true}, dark);
        EXPECT_EQ(plain.fill, Theme::withOpacity(Theme::adaptive(ColorToken::surface).resolve(dark), 0.76));
        EXPECT_EQ(hovered.fill, Theme::withOpacity(Theme::adaptive(ColorToken::surfaceRaised).resolve(dark), 0.86));
        EXPECT_EQ(plain.overlay, hovered.overlay);
        EXPECT_EQ(plain.stroke, hovered.stroke);
        EXPECT_EQ(plain.strokeWidth, 0.7);
        EXPECT_EQ(plain.shadow->colour, hovered.shadow->colour);
        EXPECT_EQ(plain.shadow->radius, 14);
        EXPECT_EQ(plain.shadow->offset, QPointF(0, 8));
    }
}

TEST(Surfaces, PressedPrimaryDimsItsBackgroundAndSelectedRowsIgnoreHoverAndPress)
{
    EXPECT_EQ(surfaceStyle(SurfaceKind::primaryButton, {}, false).backgroundOpacity, 1.0);
    EXPECT_EQ(surfaceStyle(SurfaceKind::primaryButton, {.pressed = true}, false).backgroundOpacity, 0.85);

    for (bool dark : {false, true}) {
        const SurfaceStyle selected = surfaceStyle(SurfaceKind::sidebarRow, {.selected = true}, dark);
        for (SurfaceState state : {SurfaceState{.hovering = true, .selected = true},
                                   SurfaceState{.hovering = true, .selected = true, .pressed = true}}) {
            const SurfaceStyle busy = surfaceStyle(SurfaceKind::sidebarRow, state, dark);
            EXPECT_EQ(busy.fill, selected.fill) << dark;
            EXPECT_EQ(busy.stroke, selected.stroke) << dark;
            EXPECT_EQ(busy.overlay, selected.overlay) << dark;
        }
        EXPECT_EQ(selected.strokeWidth, 0.7);
        EXPECT_EQ(selected.material, Theme::material(Material::thin, dark));

        const SurfaceStyle plain = surfaceStyle(SurfaceKind::sidebarRow, {}, dark);
        EXPECT_EQ(plain.fill, Theme::withOpacity(Qt::white, 0.025));
        EXPECT_EQ(plain.strokeWidth, 0);
    }
}

// The CIE 1976 colour difference (L*a*b*, D65) between two opaque sRGB colours.
double colourDifference(const QColor &a, const QColor &b)
{
    auto lab = [](const QColor &c) {
        auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        const double r = linear(c.redF()), g = linear(c.greenF()), bl = linear(c.blueF());
        const double x = (0.4124 * r + 0.3576 * g + 0.1805 * bl) / 0.95047;
        const double y = 0.2126 * r + 0.7152 * g + 0.0722 * bl;
        const double z = (0.0193 * r + 0.1192 * g + 0.9505 * bl) / 1.08883;
        auto f = [](double t) { return t > 216.0 / 24389 ? std::cbrt(t) : (24389.0 / 27 * t + 16) / 116; };
        return std::array<double, 3>{116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))};
    };
    const auto p = lab(a), q = lab(b);
    return std::hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]);
}

// What one row shows where its selection gradient has faded (its trailing end): the fill,
// and the edge (the outline over that fill), on the sidebar over the window colour.
struct RowLook {
    QColor fill;
    QColor edge;
};

RowLook rowLook(const SurfaceState &state, bool dark)
{
    auto layered = [](QColor below, const SurfaceStyle &style, const QColor &overlay) {
        for (const QColor &layer : {style.material, style.fill, overlay})
            below = Theme::over(layer, below);
        return below;
    };
    const SurfaceStyle sidebar = surfaceStyle(SurfaceKind::sidebar, {}, dark);
    const QColor panel = layered(Theme::adaptive(ColorToken::appBackground).resolve(dark), sidebar,
                                 sidebar.overlay[sidebar.overlay.size() / 2].second);
    const SurfaceStyle row = surfaceStyle(SurfaceKind::sidebarRow, state, dark);
    const QColor fill = layered(panel, row, row.overlay.isEmpty() ? Qt::transparent : row.overlay.last().second);
    const QColor edge = row.strokeWidth > 0 ? Theme::over(row.stroke.first().second, fill) : fill;
    return {fill, edge};
}

// Selected, pressed, hovered and plain rows are told apart at a glance in both
// appearances: any two differ by a colour difference of 5 or more in their fill or their
// edge, and the selection by 5 or more across its whole fill. Hovering lightens a row.
TEST(Surfaces, SectionRowStatesStandApartInBothAppearances)
{
    struct Named {
        const char *name;
        SurfaceState state;
    };
    const Named states[] = {{"plain", {}},
                            {"hovered", {.hovering = true}},
                            {"pressed", {.hovering = true, .pressed = true}},
                            {"selected", {.selected = true}}};
    for (bool dark : {false, true}) {
        for (size_t i = 0; i < std::size(states); ++i)
            for (size_t j = i + 1; j < std::size(states); ++j) {
                const RowLook a = rowLook(states[i].state, dark);
                const RowLook b = rowLook(states[j].state, dark);
                const double fill = colourDifference(a.fill, b.fill);
                const double edge = colourDifference(a.edge, b.edge);
                const std::string pair = std::string(dark ? "dark " : "light ") + states[i].name + "/" + states[j].name;
                EXPECT_GE(std::max(fill, edge), 5.0) << pair;
                if (states[j].state.selected) {
                    EXPECT_GE(fill, 5.0) << pair;
                }
            }
        EXPECT_GT(rowLook({.hovering = true}, dark).fill.lightnessF(), rowLook({}, dark).fill.lightnessF()) << dark;
    }
}

// Every symbol a view names must have a glyph, and the glyph must be in the font.
TEST(SystemSymbols, EveryNameUsedInTheViewsIsMapped)
{
    QStringList used;
    const QRegularExpression symbolName(R"re(\bSymbol\s*\{[^}]*?\bname:\s*"([^"]+)")re",
                                        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpression glyphCall(R"re(SystemSymbol\.glyph\(\s*"([^"]+)"\s*\))re");
    QDirIterator it(QStringLiteral(QV_SOURCE_DIR "/src"), {QStringLiteral("*.qml")}, QDir::Files,
                    QDirIterator::Subdirectories);
    int files = 0;
    while (it.hasNext()) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        ++files;
        for (const auto &re : {symbolName, glyphCall}) {
            auto matches = re.globalMatch(text);
            while (matches.hasNext())
                used << matches.next().captured(1);
        }
    }
    ASSERT_GT(files, 0);
    ASSERT_TRUE(used.contains("gearshape"));
    for (const QString &name : used)
        EXPECT_TRUE(SystemSymbol::isMapped(name)) << qPrintable(name);
}

TEST(SystemSymbols, MappedGlyphsExistInTheFontAndUnknownNamesShowTheFallback)
{
    QRawFont font(QStringLiteral("/usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf"), 24);
    ASSERT_TRUE(font.isValid());
    for (const QString &name : SystemSymbol::mappedNames())
        EXPECT_TRUE(font.supportsCharacter(SystemSymbol::glyph(name).at(0))) << qPrintable(name);
    EXPECT_EQ(SystemSymbol::glyph("no.such.symbol"), SystemSymbol::fallbackGlyph());
    EXPECT_TRUE(font.supportsCharacter(SystemSymbol::fallbackGlyph().at(0)));
    EXPECT_EQ(SystemSymbol::materialName("eye"), "visibility");
    EXPECT_EQ(SystemSymbol::materialName("gearshape"), "settings");
}

// A crossed-out symbol ("star.slash", "eye.slash") never looks like the symbol it crosses
// out: its glyph's outline differs, or the slash is drawn across it.
TEST(SystemSymbols, ACrossedOutSymbolLooksUnlikeItsBase)
{
    QRawFont font(QStringLiteral("/usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf"), 24);
    ASSERT_TRUE(font.isValid());
    const auto outline = [&](const QString &name) {
        return font.pathForGlyph(font.glyphIndexesForString(SystemSymbol::glyph(name)).at(0)).boundingRect();
    };
    int crossed = 0;
    for (const QString &name : SystemSymbol::mappedNames()) {
        if (!name.endsWith(QLatin1String(".slash")))
            continue;
        const QString base = name.chopped(6);
        if (!SystemSymbol::isMapped(base))
            continue;
        ++crossed;
        const bool sameOutline = outline(name) == outline(base);
        EXPECT_TRUE(!sameOutline || SystemSymbol::isSlashed(name)) << qPrintable(name);
        EXPECT_FALSE(SystemSymbol::isSlashed(base)) << qPrintable(base);
    }
    EXPECT_GE(crossed, 2);
}

// A symbol spans about the point size of the text beside it (a 14-point gear is 14 pixels
// tall, not the 11.7 the font draws at 14 pixels) and both centre on the same height: the
// glyph's ink in the middle of the symbol font's line, the text's capitals in the middle
// of Inter's line.
TEST(SystemSymbols, SitLevelWithTheTextBesideThem)
{
    const QString materialFile =
        QStringLiteral("/usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf");
    for (qreal size : {10.0, 11.0, 13.0, 14.0, 18.0, 28.0}) {
        const int pixels = SystemSymbol::pixelSize(size);
        QRawFont symbols(materialFile, pixels);
        ASSERT_TRUE(symbols.isValid());
        const QRectF gear = symbols.pathForGlyph(symbols.glyphIndexesForString(SystemSymbol::glyph("gearshape")).at(0))
                                .boundingRect();
        EXPECT_NEAR(gear.height(), size, 0.08 * size) << size;
        const qreal lineMiddle = (symbols.ascent() - symbols.descent()) / 2;
        EXPECT_NEAR(-gear.center().y(), lineMiddle, 0.5) << size;

        const QFontMetricsF text(Theme::systemFont(size));
        EXPECT_NEAR(text.capHeight() / 2, (text.ascent() - text.descent()) / 2, 0.5) << size;
    }
    EXPECT_EQ(SystemSymbol::pixelSize(14), 17);
    EXPECT_EQ(SystemSymbol::pixelSize(0), 1);
}

class ControlViewTest : public test::QvTest {
protected:
    // The object the given QML makes, with the design module imported.
    std::unique_ptr<QObject> create(const char *qml)
    {
        design::prepareEngine(engine);
        QQmlComponent component(&engine);
        component.setData(QByteArray("import QtQuick\nimport QtQuick.Layouts\nimport Quellvista.Design\n") + qml,
                          QUrl("qrc:/test/View.qml"));
        std::unique_ptr<QObject> object(component.create());
        EXPECT_TRUE(object) << qPrintable(component.errorString());
        return object;
    }
    QQmlEngine engine;
};

// Both buttons stretch across the width their layout gives them, alone or side by side.
TEST_F(ControlViewTest, ButtonsTakeTheWholeWidthTheyAreGiven)
{
    const std::unique_ptr<QObject> root = create("ColumnLayout { width: 300\n"
                                                 "  PrimaryButton { objectName: 'primary'; text: 'Start' }\n"
                                                 "  SecondaryButton { objectName: 'secondary'; text: 'Skip' }\n"
                                                 "  RowLayout { Layout.fillWidth: true; spacing: 10\n"
                                                 "    PrimaryButton { objectName: 'left'; text: 'Start break' }\n"
                                                 "    SecondaryButton { objectName: 'right'; text: 'Skip' } } }\n");
    ASSERT_TRUE(root);
    auto width = [&](const char *name) {
        auto *item = root->findChild<QQuickItem *>(name);
        return item ? item->width() : -1.0;
    };
    EXPECT_EQ(width("primary"), 300);
    EXPECT_EQ(width("secondary"), 300);
    EXPECT_EQ(width("left") + width("right"), 290);
    for (const char *name : {"left", "right"})
        EXPECT_GT(width(name), root->findChild<QQuickItem *>(name)->implicitWidth()) << name;
}

// A label with markup is shown as the characters it holds.
TEST_F(ControlViewTest, ButtonLabelsArePlainText)
{
    for (const char *qml : {"PrimaryButton { text: '<b>Save</b>' }\n", "SecondaryButton { text: '<b>Save</b>' }\n"}) {
        const std::unique_ptr<QObject> button = create(qml);
        ASSERT_TRUE(button);
        auto *label = button->property("contentItem").value<QQuickItem *>();
        ASSERT_TRUE(label) << qml;
        EXPECT_EQ(label->property("textFormat").toInt(), 0) << qml; // Text.PlainText
    }
}

TEST_F(ControlViewTest, TheSymbolItemDrawsAtTheEnlargedSize)
{
    const std::unique_ptr<QObject> symbol = create("Symbol { name: 'gearshape'; size: 14 }\n");
    ASSERT_TRUE(symbol);
    EXPECT_EQ(symbol->property("font").value<QFont>().pixelSize(), SystemSymbol::pixelSize(14));
    auto *slash = test::findItem(qobject_cast<QQuickItem *>(symbol.get()), "symbolSlash");
    ASSERT_TRUE(slash);
    EXPECT_FALSE(slash->isVisible());
    symbol->setProperty("name", "star.slash");
    EXPECT_TRUE(slash->isVisible());
}

} // namespace

namespace {

struct SurfaceProbe : SurfaceItem {
    auto layersAt(qreal dpr) { return paintLayers(dpr); }
};

// The primary button's shadow is that of the whole button: its label darkens it where the
// gradient is translucent, and pressing, which dims only the background, lightens it.
TEST(Surfaces, ThePrimaryButtonsShadowIsOfTheWholeButton)
{
    auto shadowOf = [](const QString &label, bool pressed) {
        SurfaceProbe surface;
        surface.setKind(SurfaceItem::PrimaryButton);
        surface.setRadius(10);
        surface.setSize(QSizeF(220, 40));
        surface.setPressed(pressed);
        surface.setLabel(label);
        surface.setLabelFont(Theme::systemFont(26, QFont::Bold));
        surface.setLabelInset(16);
        return surface.layersAt(1).first().image;
    };
    auto coverage = [](const QImage &image, int fromX, int toX) {
        qint64 total = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = fromX; x < toX; ++x)
                total += qAlpha(image.pixel(x, y));
        return total;
    };
    const QImage bare = shadowOf(QString(), false);
    const QImage labelled = shadowOf(QStringLiteral("WWWWWWWWWW"), false);
    const QImage pressed = shadowOf(QStringLiteral("WWWWWWWWWW"), true);
    ASSERT_EQ(bare.size(), labelled.size());
    const int w = bare.width();
    // The gradient turns translucent towards the trailing end, where the label shows.
    EXPECT_GT(coverage(labelled, w / 2, w), coverage(bare, w / 2, w));
    EXPECT_LT(coverage(pressed, 0, w), coverage(labelled, 0, w));
    EXPECT_GT(coverage(pressed, 0, w), 0);
}

// The outline is centred on the edge, so its outer half is drawn beyond the surface's
// bounds rather than cut off there.
TEST(Surfaces, TheOutlineIsDrawnWholeAcrossTheEdge)
{
    struct Case {
        SurfaceItem::Kind kind;
        qreal radius;
    };
    for (const Case &c : {Case{SurfaceItem::GlassPanel, 12}, Case{SurfaceItem::Sidebar, 28},
                          Case{SurfaceItem::StatusCard, 10}}) {
        SurfaceProbe surface;
        surface.setKind(c.kind);
        surface.setRadius(c.radius);
        surface.setSize(QSizeF(120, 80));
        const auto layers = surface.layersAt(2);
        ASSERT_FALSE(layers.isEmpty());
        const auto &body = layers.last();
        const qreal half = surface.style().strokeWidth / 2;
        EXPECT_TRUE(body.rect.contains(QRectF(-half, -half, 120 + 2 * half, 80 + 2 * half))) << c.kind;
        // The device pixel just outside the leading edge, halfway down, holds the outline.
        const QPoint outside(int(-body.rect.left() * 2) - 1, int((40 - body.rect.top()) * 2));
        EXPECT_GT(qAlpha(body.image.pixel(outside)), 0) << c.kind;
    }
}

} // namespace

namespace {

// A ticking number keeps its width from one value to the next, where the font's own
// digits would not (Inter's "1" is narrower than its "8").
TEST(TabularText, EveryValueOfOneShapeHasOneWidth)
{
    const QFont font = Theme::systemFont(30, QFont::DemiBold);
    const QFontMetricsF metrics(font);
    ASSERT_LT(metrics.horizontalAdvance("11:11"), metrics.horizontalAdvance("88:88")) << "a font with even digits";
    const qreal width = TabularText::textWidth(font, "88:88");
    for (const char *text : {"11:11", "10:07", "24:59", "00:00"})
        EXPECT_DOUBLE_EQ(TabularText::textWidth(font, text), width) << text;
    EXPECT_DOUBLE_EQ(TabularText::textWidth(font, "1 of 8"),
                     2 * TabularText::widestDigit(metrics) + metrics.horizontalAdvance(" of "));
}

TEST(TabularText, ShrinksToItsWidthDownToTheLeastSize)
{
    const QFont font = Theme::systemFont(30, QFont::DemiBold);
    const qreal natural = TabularText::textWidth(font, "1234");
    EXPECT_EQ(TabularText::fittedFont(font, "1234", natural, 22).pixelSize(), 30);
    const QFont smaller = TabularText::fittedFont(font, "1234", natural * 0.85, 22);
    EXPECT_LT(smaller.pixelSize(), 30);
    EXPECT_GE(smaller.pixelSize(), 22);
    EXPECT_LE(TabularText::textWidth(smaller, "1234"), natural * 0.85);
    EXPECT_EQ(TabularText::fittedFont(font, "1234", 1, 22).pixelSize(), 22);
    EXPECT_EQ(TabularText::fittedFont(font, "1234", 1, 0).pixelSize(), 30) << "0: never shrinks";
}

} // namespace

namespace {

// Assistive technology reads a slider's value as spoken ("40 percent") and a switch's
// "On"/"Off" as their values, beside the names the callers give; the slider's number counts
// the steps its row shows (40, not 0.4) and stays settable; a switch's checked state is its
// own, whatever Qt Quick writes into the attached one.
TEST_F(ControlViewTest, SlidersAndSwitchesGiveTheirValuesAsValues)
{
    const std::unique_ptr<QObject> root = create(
        "Item { width: 300; height: 100\n"
        "  property real level: 0.4\n"
        "  TintedSlider { objectName: 'slider'; value: parent.level; accessibleValue: Math.trunc(value * 100) + '%'\n"
        "    Accessible.name: 'Brightness'; onMoved: parent.level = value }\n"
        "  SageToggle { objectName: 'toggle'; y: 40; isOn: true; Accessible.name: 'Comfort tuning' } }\n");
    ASSERT_TRUE(root);
    auto *item = qobject_cast<QQuickItem *>(root.get());
    QAccessibleInterface *slider = QAccessible::queryAccessibleInterface(test::findItem(item, "slider"));
    ASSERT_TRUE(slider);
    EXPECT_EQ(slider->role(), QAccessible::Slider);
    EXPECT_EQ(slider->text(QAccessible::Name), "Brightness");
    EXPECT_EQ(slider->text(QAccessible::Value), "40 percent");
    // The AT-SPI bridge carries a value as a number only: the description says it.
    EXPECT_EQ(slider->text(QAccessible::Description), "40 percent");
    ASSERT_TRUE(slider->valueInterface());
    EXPECT_EQ(slider->valueInterface()->currentValue().toDouble(), 40);
    EXPECT_EQ(slider->valueInterface()->maximumValue().toDouble(), 100);
    slider->valueInterface()->setCurrentValue(75);
    EXPECT_DOUBLE_EQ(root->property("level").toDouble(), 0.75) << "a set value reaches the owner as a move does";
    EXPECT_EQ(slider->text(QAccessible::Value), "75 percent");

    QQuickItem *toggleItem = test::findItem(item, "toggle");
    QAccessibleInterface *toggle = QAccessible::queryAccessibleInterface(toggleItem);
    ASSERT_TRUE(toggle);
    EXPECT_EQ(toggle->role(), QAccessible::CheckBox);
    EXPECT_EQ(toggle->text(QAccessible::Name), "Comfort tuning");
    EXPECT_EQ(toggle->text(QAccessible::Value), "On");
    EXPECT_TRUE(toggle->state().checkable);
    EXPECT_TRUE(toggle->state().checked);
    // As Qt Quick's button does when the tree is built again.
    for (QObject *child : toggleItem->children())
        if (qstrcmp(child->metaObject()->className(), "QQuickAccessibleAttached") == 0)
            child->setProperty("checked", false);
    EXPECT_TRUE(toggle->state().checked);
    EXPECT_EQ(toggle->role(), QAccessible::CheckBox);
    toggleItem->setProperty("isOn", false);
    EXPECT_EQ(toggle->text(QAccessible::Value), "Off");
    EXPECT_FALSE(toggle->state().checked);
}

// A scroll bar tells assistive technology which way it scrolls (its name: the AT-SPI bridge
// has no state for it) and how far along it is, 0 to 100, and can be moved there.
TEST_F(ControlViewTest, ScrollBarsSayTheirWayAndPlace)
{
    const std::unique_ptr<QObject> root = create(
        "import QtQuick.Templates as T\n"
        "Flickable { width: 300; height: 200; contentWidth: 300; contentHeight: 1000; contentY: 400\n"
        "  T.ScrollBar.vertical: PageScrollBar { objectName: 'down' }\n"
        "  T.ScrollBar.horizontal: PageScrollBar { objectName: 'across' } }\n");
    ASSERT_TRUE(root);
    auto *item = qobject_cast<QQuickItem *>(root.get());
    QAccessibleInterface *down = QAccessible::queryAccessibleInterface(test::findItem(item, "down"));
    ASSERT_TRUE(down && down->valueInterface());
    EXPECT_EQ(down->role(), QAccessible::ScrollBar);
    EXPECT_EQ(down->text(QAccessible::Name), "Vertical");
    EXPECT_EQ(down->valueInterface()->currentValue().toDouble(), 50);
    EXPECT_EQ(down->valueInterface()->maximumValue().toDouble(), 100);
    down->valueInterface()->setCurrentValue(100);
    EXPECT_DOUBLE_EQ(root->property("contentY").toDouble(), 800);
    QAccessibleInterface *across = QAccessible::queryAccessibleInterface(test::findItem(item, "across"));
    ASSERT_TRUE(across && across->valueInterface());
    EXPECT_EQ(across->text(QAccessible::Name), "Horizontal");
    EXPECT_EQ(across->valueInterface()->maximumValue().toDouble(), 0) << "nothing to scroll";
}

// Assistive technology's "Press" clicks a button once (twice would undo a switch); a
// disabled one is disabled in the tree, Tab passes it by, and Press does nothing.
TEST_F(ControlViewTest, PressClicksTheSharedButtonsOnce)
{
    QAccessible::setActive(true);
    const std::unique_ptr<QObject> root = create(
        "Column { property int clicks: 0\n"
        "  PrimaryButton { objectName: 'primary'; text: 'Start'; onClicked: parent.clicks++ }\n"
        "  SecondaryButton { objectName: 'secondary'; text: 'Later'; onClicked: parent.clicks++ }\n"
        "  SageToggle { objectName: 'toggle'; Accessible.name: 'On'; onToggled: parent.clicks++ } }\n");
    ASSERT_TRUE(root);
    for (const char *name : {"primary", "secondary", "toggle"}) {
        root->setProperty("clicks", 0);
        QAccessibleInterface *button =
            QAccessible::queryAccessibleInterface(test::findItem(qobject_cast<QQuickItem *>(root.get()), name));
        ASSERT_TRUE(button && button->actionInterface()) << name;
        EXPECT_FALSE(button->state().disabled) << name;
        button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_EQ(root->property("clicks").toInt(), 1) << name;
        QQuickItem *item = test::findItem(qobject_cast<QQuickItem *>(root.get()), name);
        item->setEnabled(false);
        EXPECT_TRUE(button->state().disabled) << name;
        EXPECT_FALSE(button->state().focusable) << name;
        button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_EQ(root->property("clicks").toInt(), 1) << name << ": pressed while disabled";
    }
    QAccessible::setActive(false);
}

// Texts are read as labels while shown; a hidden text, a symbol and a title that only
// repeats its button's name are not. Menu entries are menu items that Press chooses, and a
// picker's ticked entry is checked; an expandable block says whether it is open.
TEST_F(ControlViewTest, TextsMenuEntriesAndBlocksAreReadAsShown)
{
    const std::unique_ptr<QObject> root = create(
        "Column { property string chosen\n"
        "  Text { objectName: 'shown'; text: 'Blink rate <b>12</b>'; textFormat: Text.StyledText }\n"
        "  Text { objectName: 'hidden'; text: 'Hidden'; visible: false }\n"
        "  Symbol { objectName: 'symbol'; name: 'gearshape' }\n"
        "  SecondaryButton { objectName: 'button'; text: 'Review' }\n"
        "  Item { objectName: 'block'; width: 10; height: 10; readonly property bool accessibleExpanded: true\n"
        "    readonly property string accessibleValue: AccessibleTexts.expanded(accessibleExpanded)\n"
        "    Accessible.name: 'Display notes'\n"
        "    Text { text: '6 topics' } }\n"
        "  PopupMenu { id: menu; objectName: 'menu'; checkedAction: 'b'; onChosen: a => parent.chosen = a\n"
        "    entries: [{action: 'a', text: 'All displays', symbol: 'display'}, {action: 'b', text: 'Built-in', symbol: 'laptopcomputer'}] }\n"
        " }\n");
    ASSERT_TRUE(root);
    auto *item = qobject_cast<QQuickItem *>(root.get());
    QAccessibleInterface *shown = QAccessible::queryAccessibleInterface(test::findItem(item, "shown"));
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->role(), QAccessible::StaticText);
    EXPECT_EQ(shown->text(QAccessible::Name), "Blink rate 12");
    auto ignored = [&](const char *name) {
        QQuickItem *found = test::findItem(item, name);
        return QQmlProperty(found, QStringLiteral("Accessible.ignored"), qmlContext(found)).read().toBool();
    };
    EXPECT_TRUE(ignored("hidden"));
    EXPECT_TRUE(ignored("symbol"));
    QQuickItem *button = test::findItem(item, "button");
    for (QQuickItem *child : button->childItems()) {
        if (child->inherits("QQuickText")) {
            EXPECT_TRUE(QQmlProperty(child, QStringLiteral("Accessible.ignored"), qmlContext(child)).read().toBool());
        }
    }

    QAccessibleInterface *block = QAccessible::queryAccessibleInterface(test::findItem(item, "block"));
    ASSERT_TRUE(block);
    EXPECT_TRUE(block->state().expandable);
    EXPECT_TRUE(block->state().expanded);
    EXPECT_FALSE(block->state().collapsed);
    EXPECT_EQ(block->text(QAccessible::Description), "Expanded. 6 topics");

    QQuickItem *menu = qvariant_cast<QQuickItem *>(root->findChild<QObject *>("menu")->property("contentItem"));
    ASSERT_TRUE(menu);
    QList<QAccessibleInterface *> entries;
    for (QQuickItem *child : menu->childItems())
        if (child->inherits("QQuickAbstractButton"))
            entries << QAccessible::queryAccessibleInterface(child);
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0]->role(), QAccessible::MenuItem);
    EXPECT_EQ(entries[0]->text(QAccessible::Name), "All displays");
    EXPECT_FALSE(entries[0]->state().checked);
    EXPECT_TRUE(entries[1]->state().checkable && entries[1]->state().checked);
    entries[0]->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(root->property("chosen").toString(), "a");
}

TEST(AccessibleTextsTest, PercentsAreSpokenAndFiguresNamed)
{
    const struct {
        const char *text, *spoken;
    } cases[] = {{"84%", "84 percent"}, {"-5 %", "-5 percent"}, {"0.5%", "0.5 percent"},
                 {"Off", "Off"},        {"100% on", "100% on"}, {"", ""}};
    for (const auto &c : cases)
        EXPECT_EQ(design::AccessibleTexts::spoken(c.text), c.spoken) << c.text;
    EXPECT_EQ(design::AccessibleTexts::figure("Breaks Today", "3"), "Breaks Today: 3");
    EXPECT_EQ(design::AccessibleTexts::figure("Focus", "40%"), "Focus: 40 percent");
    EXPECT_EQ(design::AccessibleTexts::figure("Next Break", ""), "Next Break");
    EXPECT_EQ(design::shownSteps(0.848, 0.01), 84);
    EXPECT_EQ(design::shownSteps(0.2, 0.004), 50);
    EXPECT_EQ(design::shownSteps(0.5, 0), 0);
}

} // namespace
