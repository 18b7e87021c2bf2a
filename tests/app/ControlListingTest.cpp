#include "app/ControlListing.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTemporaryDir>

using namespace qv;

namespace {

class ControlListingTest : public test::QvTest {
protected:
    void SetUp() override
    {
        test::QvTest::SetUp();
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }
};

// A measuring script finds each shown window and its size, and each slider of one, where it
// is and what it holds; the list is written once a second, and only when the environment
// asks for it.
TEST_F(ControlListingTest, ShownSlidersAreListedWithTheirPlaceAndRange)
{
    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData(R"(
        import QtQuick
        import QtQuick.Templates as T
        Window {
            x: 40; y: 30; width: 300; height: 200; visible: true
            T.Slider { x: 10; y: 20; width: 200; height: 18; from: 0.1; to: 1; value: 0.5
                       Accessible.name: "Software\tBrightness" }
            T.Slider { x: 10; y: 60; width: 200; height: 18; visible: false; Accessible.name: "Hidden" }
        })",
                      QUrl());
    std::unique_ptr<QObject> window(component.create());
    ASSERT_TRUE(window) << component.errorString().toStdString();
    QCoreApplication::processEvents();
    const QStringList lines = ControlListing::listSliders().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << ControlListing::listSliders().toStdString();
    // The window first, at the size it draws.
    EXPECT_TRUE(lines.first().startsWith("window\t") && lines.first().endsWith(" 300 200\t")) << lines.first().toStdString();
    const QStringList fields = lines.last().split(QLatin1Char('\t'));
    ASSERT_EQ(fields.size(), 4);
    EXPECT_EQ(fields[0], "slider");
    EXPECT_EQ(fields[1], "Software Brightness") << "a tab in the name would split the line";
    const QStringList rect = fields[2].split(QLatin1Char(' '));
    ASSERT_EQ(rect.size(), 4);
    EXPECT_EQ(rect[2], "200");
    EXPECT_EQ(rect[3], "18");
    EXPECT_EQ(fields[3], "0.5 0.1 1");

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("controls"));
    {
        ControlListing quiet;
        advance(3000);
        EXPECT_FALSE(QFile::exists(path)) << "nothing without the variable";
    }
    qputenv("QUELLVISTA_CONTROL_LIST", path.toLocal8Bit());
    ControlListing listing;
    qunsetenv("QUELLVISTA_CONTROL_LIST");
    advance(999);
    EXPECT_FALSE(QFile::exists(path));
    advance(1);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), ControlListing::listSliders());
}

} // namespace
