#include "app/AppEngine.h"
#include "app/MainWindowModel.h"
#include "design/GuidedTour.h"
#include "render/ViewRenderer.h"
#include "support/ItemTree.h"
#include "support/TestEnvironment.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QSignalSpy>

#include <functional>

using namespace qv;

namespace {

class PageViewTest : public test::QvTest {
protected:
    void SetUp() override
    {
        test::QvTest::SetUp();
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }
    QQuickItem *find(const char *name)
    {
        return test::findItem(window->contentItem(), name);
    }
    void load()
    {
        prepareAppEngine(engine);
        QQmlComponent component(&engine);
        component.setData("import QtQuick\nimport Quellvista.Pages.DisplayComfort\n"
                          "Window { width: 860; height: 760; visible: true\n"
                          "  DisplayComfortPage { objectName: 'page'; anchors.fill: parent } }\n",
                          QUrl("qrc:/test/Page.qml"));
        window.reset(qobject_cast<QQuickWindow *>(component.create()));
        ASSERT_TRUE(window) << qPrintable(component.errorString());
    }
    test::WarningRecorder recorder;
    QQmlEngine engine;
    std::unique_ptr<QQuickWindow> window;
};

// The guide button opens the tour at the hardware block; the block expands into one card
// per display; a display that goes while its card is shown takes its card with it; long
// names and markup stay plain one-line text. Nothing warns.
TEST_F(PageViewTest, TourHardwareAndCardsWithoutWarnings)
{
    mac->updateDisplay(2, [](SimDisplay &d) { d.name = "<b>Desk</b> " + QString(10000, QChar('x')); });
    load();
    ASSERT_TRUE(window);
    QObject *pageModel = find("page")->property("model").value<QObject *>();
    auto *tour = pageModel->property("tour").value<GuidedTour *>();
    ASSERT_TRUE(tour);

    QMetaObject::invokeMethod(find("guideButton"), "clicked");
    EXPECT_EQ(tour->currentStep(), "protections");
    EXPECT_TRUE(find("displayComfortGuide-protections")->property("current").toBool());
    EXPECT_TRUE(find("guideNext"));

    QMetaObject::invokeMethod(find("hardwareHeader"), "clicked");
    QCoreApplication::processEvents();
    QQuickItem *name = find("displayName");
    ASSERT_TRUE(name);
    int cards = 0;
    std::function<void(QQuickItem *)> count = [&](QQuickItem *item) {
        cards += item->objectName() == "scoreText";
        for (QQuickItem *child : item->childItems())
            count(child);
    };
    count(window->contentItem());
    EXPECT_EQ(cards, 2);

    mac->removeDisplay(2);
    advance(2000);
    QCoreApplication::processEvents();
    cards = 0;
    count(window->contentItem());
    EXPECT_EQ(cards, 1);
    // PWM-safe dimming is on but the tuning dims nothing: it does not count.
    EXPECT_EQ(find("hardwareSummary")->property("text").toString(), "1 connected - 1 assist active");

    QMetaObject::invokeMethod(find("hardwareHeader"), "clicked"); // collapse
    tour->finish();
    window->close();
    EXPECT_EQ(recorder.warnings(), QStringList());
}

// Opening the section: from the switch to the first frame drawn with the page. Reports
// the figure; the budget is 150 ms.
// Assistive technology reads the master switch's "On"/"Off", the hardware header's
// "Expanded"/"Collapsed" and each slider's percentage as their values.
TEST_F(PageViewTest, ControlsGiveTheirNamesAndValues)
{
    load();
    ASSERT_TRUE(window);
    window->grabWindow();
    QAccessibleInterface *master = QAccessible::queryAccessibleInterface(find("comfortSwitchCapsule"));
    ASSERT_TRUE(master);
    EXPECT_EQ(master->text(QAccessible::Name), "Display comfort tuning");
    EXPECT_EQ(master->role(), QAccessible::CheckBox);
    const QString before = master->text(QAccessible::Value);
    EXPECT_TRUE(before == "On" || before == "Off") << before.toStdString();
    EXPECT_EQ(master->state().checked, before == "On");

    QAccessibleInterface *header = QAccessible::queryAccessibleInterface(find("hardwareHeader"));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->text(QAccessible::Name), "Display hardware");
    EXPECT_EQ(header->text(QAccessible::Value), "Collapsed");
    // The AT-SPI bridge carries no text value: the description begins with it, and the
    // state says it too; the summary shown in the header follows.
    EXPECT_TRUE(header->text(QAccessible::Description).startsWith("Collapsed. Shows or hides display hardware controls. "))
        << header->text(QAccessible::Description).toStdString();
    EXPECT_TRUE(header->state().expandable && header->state().collapsed);
    QMetaObject::invokeMethod(find("hardwareHeader"), "clicked");
    EXPECT_EQ(header->text(QAccessible::Value), "Expanded");
    EXPECT_TRUE(header->state().expanded);

    QAccessibleInterface *picker = QAccessible::queryAccessibleInterface(find("targetPicker"));
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->text(QAccessible::Name), "Display tuning target");
    EXPECT_EQ(picker->text(QAccessible::Value), "All displays");
    EXPECT_EQ(picker->role(), QAccessible::ComboBox);

    // Every slider of the page: a name, and a value text that the description says too.
    int sliders = 0;
    std::function<void(QQuickItem *)> visit = [&](QQuickItem *item) {
        if (item->inherits("QQuickSlider")) {
            ++sliders;
            QAccessibleInterface *slider = QAccessible::queryAccessibleInterface(item);
            ASSERT_TRUE(slider);
            EXPECT_FALSE(slider->text(QAccessible::Name).isEmpty());
            EXPECT_FALSE(slider->text(QAccessible::Value).isEmpty()) << slider->text(QAccessible::Name).toStdString();
            EXPECT_EQ(slider->text(QAccessible::Description), slider->text(QAccessible::Value));
        }
        for (QQuickItem *child : item->childItems())
            visit(child);
    };
    visit(window->contentItem());
    EXPECT_GE(sliders, 5);
}

TEST_F(PageViewTest, OpeningThePageFigure)
{
    defaults->setString("mainWindow.selectedSection", "Support");
    prepareAppEngine(engine);
    QQmlComponent component(&engine);
    component.setData("import QtQuick\nimport Quellvista.App\n"
                      "Window { width: 1100; height: 760; visible: true\n"
                      "  MainWindow { objectName: 'main'; anchors.fill: parent } }\n",
                      QUrl("qrc:/test/Main.qml"));
    window.reset(qobject_cast<QQuickWindow *>(component.create()));
    ASSERT_TRUE(window) << qPrintable(component.errorString());
    QSignalSpy frames(window.get(), &QQuickWindow::frameSwapped);
    ASSERT_TRUE(!frames.isEmpty() || frames.wait(5000));
    auto *state = find("main")->property("windowState").value<MainWindowModel *>();
    ASSERT_TRUE(state);
    QElapsedTimer timer;
    frames.clear();
    timer.start();
    state->select(MainWindowModel::DisplayAndComfort);
    // A threaded render loop may swap the frame before the wait begins.
    ASSERT_TRUE(!frames.isEmpty() || frames.wait(5000));
    const qint64 ms = timer.elapsed();
    RecordProperty("openMs", int(ms));
    std::printf("Opening the Display & Comfort page took %lld ms\n", static_cast<long long>(ms));
    window->close();
}

} // namespace
