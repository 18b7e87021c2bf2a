#include "app/AppEngine.h"
#include "comfort/PresetManager.h"
#include "design/SystemSymbol.h"
#include "display/DisplayTuning.h"
#include "pages/display_comfort/ComfortProfilesGridModel.h"
#include "pages/display_comfort/DisplayTuningPanelModel.h"
#include "render/ViewRenderer.h"
#include "support/TestEnvironment.h"

#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTest>

#include <memory>

using namespace qv;

namespace {

// The two blocks stacked as the page stacks them, in a shown window.
class BlocksViewTest : public test::QvTest {
protected:
    void SetUp() override
    {
        test::QvTest::SetUp();
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }
    void TearDown() override
    {
        root.reset();
        window.reset();
        engine.reset();
        EXPECT_EQ(recorder->warnings(), QStringList());
        recorder.reset();
        test::QvTest::TearDown();
    }

    void show()
    {
        recorder = std::make_unique<test::WarningRecorder>();
        engine = std::make_unique<QQmlEngine>();
        prepareAppEngine(*engine);
        QQmlComponent component(engine.get());
        component.setData("import QtQuick\nimport QtQuick.Layouts\n"
                          "import Quellvista.Pages.DisplayComfort.Blocks\n"
                          "ColumnLayout { width: 860; spacing: 20\n"
                          "  DisplayTuningPanel { objectName: 'panel'; Layout.fillWidth: true }\n"
                          "  ComfortProfilesGrid { objectName: 'grid'; Layout.fillWidth: true }\n}\n",
                          QUrl("qrc:/test/Blocks.qml"));
        root.reset(component.create());
        auto *item = qobject_cast<QQuickItem *>(root.get());
        ASSERT_TRUE(item) << qPrintable(component.errorString());
        window = std::make_unique<QQuickWindow>();
        item->setParentItem(window->contentItem());
        window->resize(860, 1000);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->requestActivate();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get(), 10000));
        settle();
    }
    void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
        if (auto *item = qobject_cast<QQuickItem *>(root.get()))
            item->polish();
        QCoreApplication::processEvents();
    }
    QQuickItem *block(const char *name) const { return root->findChild<QQuickItem *>(name); }
    ComfortProfilesGridModel *gridModel() const
    {
        return qvariant_cast<ComfortProfilesGridModel *>(block("grid")->property("model"));
    }
    // Every item drawn below an item (Repeater delegates and pop-up contents included).
    static QList<QQuickItem *> itemsUnder(QQuickItem *item)
    {
        QList<QQuickItem *> items;
        for (QQuickItem *child : item->childItems())
            items << child << itemsUnder(child);
        return items;
    }
    QList<QQuickItem *> textsShowing(const QString &text) const
    {
        QList<QQuickItem *> found;
        for (QQuickItem *item : itemsUnder(window->contentItem()))
            if (item->inherits("QQuickText") && item->property("text").toString() == text && item->isVisible())
                found << item;
        return found;
    }

    std::unique_ptr<test::WarningRecorder> recorder;
    std::unique_ptr<QQmlEngine> engine;
    std::unique_ptr<QObject> root;
    std::unique_ptr<QQuickWindow> window;
};

// Names with markup and the longest names (of the widest letter) are drawn as plain text
// on one line within their tile or header.
TEST_F(BlocksViewTest, HostileNamesArePlainTextAndStayInsideTheirPlace)
{
    const QString markup = QStringLiteral("<b>Bold</b> <font color='red'>red</font>");
    const QString huge(PresetManager::kMaxProfileNameLength, u'W');
    PresetManager::shared().saveCurrentAsNewProfile(markup);
    PresetManager::shared().saveCurrentAsNewProfile(huge);
    advance(1000);
    show();
    QQuickItem *grid = block("grid");
    for (const QString &name : {markup, huge, QStringLiteral("Active: ") + huge}) {
        const QList<QQuickItem *> texts = textsShowing(name);
        ASSERT_FALSE(texts.isEmpty()) << qPrintable(name.left(20));
        for (QQuickItem *text : texts) {
            EXPECT_EQ(text->property("textFormat").toInt(), 0) << "plain text"; // Text.PlainText
            EXPECT_EQ(text->property("lineCount").toInt(), 1);
            const QRectF box = text->mapRectToItem(grid, QRectF(0, 0, text->width(), text->height()));
            EXPECT_LE(box.right(), grid->width() - 16 + 0.5) << qPrintable(name.left(20));
            EXPECT_LE(text->property("contentWidth").toReal(), text->width() + 0.5);
        }
    }
    // The long name in the header leaves the title its room.
    const QList<QQuickItem *> titles = textsShowing(QStringLiteral("Comfort profiles"));
    ASSERT_EQ(titles.size(), 1);
    const QQuickItem *active = textsShowing(QStringLiteral("Active: ") + huge).first();
    const QRectF titleBox = titles.first()->mapRectToItem(grid, QRectF(0, 0, titles.first()->property("contentWidth").toReal(), 1));
    EXPECT_LT(titleBox.right(), active->mapToItem(grid, QPointF(0, 0)).x());
}

// Dragging a slider moves the model, and the slider keeps following the model after.
TEST_F(BlocksViewTest, SlidersWriteTheModelAndKeepFollowingIt)
{
    show();
    QQuickItem *slider = nullptr;
    for (QQuickItem *item : itemsUnder(block("panel")))
        if (item->inherits("QQuickSlider") && qFuzzyCompare(item->property("from").toDouble(), 0.1))
            slider = item;
    ASSERT_TRUE(slider);
    const QPointF start = slider->mapToScene(QPointF(slider->width() - 7, slider->height() / 2));
    const QPointF end = slider->mapToScene(QPointF(slider->width() / 2, slider->height() / 2));
    QTest::mousePress(window.get(), Qt::LeftButton, {}, start.toPoint());
    for (int i = 1; i <= 10; ++i)
        QTest::mouseMove(window.get(), (start + (end - start) * i / 10.0).toPoint());
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, end.toPoint());
    const double dragged = DisplayTuning::shared().brightness();
    EXPECT_NEAR(dragged, 0.55, 0.05);
    EXPECT_TRUE(DisplayTuning::shared().enabled());
    EXPECT_NEAR(slider->property("value").toDouble(), dragged, 1e-9);

    DisplayTuning::shared().setBrightness(0.9);
    EXPECT_NEAR(slider->property("value").toDouble(), 0.9, 1e-9);
}

// The rename sheet: Return with a blank name keeps it open and renames nothing; Save is
// disabled then; Escape dismisses it. It fits a window narrower than itself.
TEST_F(BlocksViewTest, RenameSheetObeysTheSaveRuleOnReturn)
{
    show();
    ComfortProfilesGridModel *model = gridModel();
    ASSERT_TRUE(model);
    model->trigger(0, QStringLiteral("rename"));
    settle();
    QQuickItem *field = nullptr;
    for (QQuickItem *item : itemsUnder(window->contentItem()))
        if (item->inherits("QQuickTextField"))
            field = item;
    ASSERT_TRUE(field);
    EXPECT_EQ(field->property("text").toString(), "Focus");
    ASSERT_TRUE(field->hasActiveFocus());
    EXPECT_EQ(field->property("selectedText").toString(), "Focus") << "typing replaces the name";

    field->setProperty("text", QStringLiteral("   "));
    QQuickItem *save = textsShowing(QStringLiteral("Save")).value(0);
    ASSERT_TRUE(save);
    EXPECT_FALSE(save->parentItem()->isEnabled());
    QTest::keyClick(window.get(), Qt::Key_Return);
    EXPECT_TRUE(model->renaming());
    EXPECT_EQ(PresetManager::shared().displayName(ComfortPreset::focus), "Focus");

    field->setProperty("text", QStringLiteral("Deep work"));
    EXPECT_TRUE(save->parentItem()->isEnabled());
    QTest::keyClick(window.get(), Qt::Key_Return);
    EXPECT_FALSE(model->renaming());
    EXPECT_EQ(PresetManager::shared().displayName(ComfortPreset::focus), "Deep work");

    // In a window narrower than the sheet (a tile of a tiling window manager) it fits.
    window->resize(296, 180);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->contentItem()->width() == 296; }));
    model->trigger(0, QStringLiteral("rename"));
    settle();
    for (QQuickItem *shown : {field, save})
        EXPECT_TRUE(QRectF(0, 0, 296, 180).contains(shown->mapRectToScene(QRectF(0, 0, shown->width(), shown->height()))));
    QTest::keyClick(window.get(), Qt::Key_Escape);
    settle();
    EXPECT_FALSE(model->renaming());
}

// "New profile" (Return on it) saves a profile and hands the focus, with its ring, to
// the new profile's tile.
TEST_F(BlocksViewTest, NewProfileFocusesTheNewTile)
{
    show();
    const int newRow = int(gridModel()->tiles().size()) - 1;
    const auto tile = [&](int row) {
        for (QQuickItem *item : itemsUnder(block("grid")))
            if (item->objectName() == QStringLiteral("profileTile-%1").arg(row))
                return item;
        return static_cast<QQuickItem *>(nullptr);
    };
    QQuickItem *newTile = tile(newRow);
    ASSERT_TRUE(newTile);
    newTile->forceActiveFocus(Qt::TabFocusReason);
    QTest::keyClick(window.get(), Qt::Key_Return);
    settle();
    ASSERT_EQ(gridModel()->tiles().size(), newRow + 2);
    QQuickItem *saved = tile(newRow);
    ASSERT_TRUE(saved);
    EXPECT_EQ(gridModel()->tiles()[newRow].kind, ProfileTileKind::saved);
    EXPECT_TRUE(saved->hasActiveFocus());
    EXPECT_TRUE(saved->property("visualFocus").toBool());
}

// A right-click on a tile opens its menu; "New profile" has none.
TEST_F(BlocksViewTest, RightClickOpensTheTilesMenu)
{
    show();
    QQuickItem *grid = block("grid");
    const QList<QQuickItem *> focus = textsShowing(QStringLiteral("Focus"));
    ASSERT_EQ(focus.size(), 1);
    QTest::mouseClick(window.get(), Qt::RightButton, {}, focus.first()->mapToScene(QPointF(4, 4)).toPoint());
    settle();
    QObject *menu = grid->property("openMenu").value<QObject *>();
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->property("entries").toList().size(), 5);
    EXPECT_TRUE(textsShowing(QStringLiteral("Reset Profile Settings")).size() == 1);
    QTest::keyClick(window.get(), Qt::Key_Escape);
    settle();
    EXPECT_FALSE(grid->property("openMenu").value<QObject *>());

    const QList<QQuickItem *> newTile = textsShowing(QStringLiteral("New profile"));
    ASSERT_EQ(newTile.size(), 1);
    QTest::mouseClick(window.get(), Qt::RightButton, {}, newTile.first()->mapToScene(QPointF(4, 4)).toPoint());
    settle();
    EXPECT_FALSE(grid->property("openMenu").value<QObject *>());
}

// With every starter hidden, the notice stands in place of all tiles; its button brings
// them back.
TEST_F(BlocksViewTest, HiddenStartersShowTheNoticeAndItsButtonRestoresThem)
{
    defaults->set("hiddenDefaultComfortPresets", QVariantList{"Focus", "PWM-safe", "Low Stimulus", "Evening"});
    PresetManager::shared().saveCurrentAsNewProfile(QStringLiteral("Desk"));
    advance(1000);
    show();
    EXPECT_EQ(textsShowing(QStringLiteral("All starter profiles are hidden.")).size(), 1);
    EXPECT_TRUE(textsShowing(QStringLiteral("Desk")).isEmpty());
    EXPECT_TRUE(textsShowing(QStringLiteral("New profile")).isEmpty());
    const QList<QQuickItem *> restore = textsShowing(QStringLiteral("Restore starter profiles"));
    ASSERT_EQ(restore.size(), 1);
    // The whole label shows: the button is 170 wide or wider, never cut.
    EXPECT_GE(restore.first()->parentItem()->width(), 170);
    EXPECT_FALSE(restore.first()->property("truncated").toBool());
    EXPECT_LE(restore.first()->property("contentWidth").toReal(), restore.first()->width() + 0.5);
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, restore.first()->mapToScene(QPointF(10, 5)).toPoint());
    settle();
    EXPECT_TRUE(textsShowing(QStringLiteral("All starter profiles are hidden.")).isEmpty());
    EXPECT_EQ(textsShowing(QStringLiteral("Desk")).size(), 1);
    EXPECT_EQ(textsShowing(QStringLiteral("Focus")).size(), 1);
}

// Every symbol the view-models name has a glyph.
TEST_F(BlocksViewTest, EverySymbolTheBlocksNameIsMapped)
{
    QStringList names;
    for (ComfortPreset preset : kAllComfortPresets)
        names << presetTileInfo(preset).symbol;
    PresetManager::shared().saveCurrentAsNewProfile(QStringLiteral("Desk"));
    PresetManager::shared().renamePreset(ComfortPreset::focus, QStringLiteral("Deep"));
    PresetManager::shared().toggleFavorite(ComfortPreset::evening);
    ComfortProfilesGridModel grid;
    for (const ProfileTile &tile : grid.tiles()) {
        names << tile.symbol;
        for (const ProfileMenuEntry &entry : tile.menu)
            names << entry.symbol;
    }
    DisplayTuningPanelModel panel;
    names << panel.headerSymbol() << panel.pickerSymbol() << "display";
    for (QObject *row : panel.rows())
        names << row->property("symbol").toString();
    for (const QVariant &target : panel.targets())
        names << target.toMap().value("symbol").toString();
    for (const QString &name : names)
        EXPECT_TRUE(SystemSymbol::isMapped(name)) << qPrintable(name);
}

} // namespace
