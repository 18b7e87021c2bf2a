#include "design/Design.h"
#include "support/TestEnvironment.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>

using namespace qv;

namespace {

class SageToggleTest : public test::QvTest {};

// The caller owns the Boolean: a click asks for the opposite value and the switch keeps
// following the setting, whoever changes it afterwards.
TEST_F(SageToggleTest, AClickAsksTheCallerAndTheSwitchKeepsFollowingItsSetting)
{
    QQmlEngine engine;
    design::prepareEngine(engine);
    QQmlComponent component(&engine);
    component.setData("import QtQuick\nimport Quellvista.Design\nItem {\n"
                      "  id: root\n  property bool setting: false\n  property int requests: 0\n"
                      "  SageToggle { objectName: 'toggle'; isOn: root.setting; tint: Theme.sage\n"
                      "    onToggled: on => { root.requests++; root.setting = on } }\n}\n",
                      QUrl("qrc:/test/Toggle.qml"));
    std::unique_ptr<QObject> root(component.create());
    ASSERT_TRUE(root) << qPrintable(component.errorString());
    QObject *toggle = root->findChild<QObject *>("toggle");
    ASSERT_TRUE(toggle);

    QMetaObject::invokeMethod(toggle, "clicked");
    EXPECT_EQ(root->property("requests").toInt(), 1);
    EXPECT_TRUE(root->property("setting").toBool());
    EXPECT_TRUE(toggle->property("isOn").toBool());

    // Changed elsewhere (another switch, a preset): the switch follows.
    root->setProperty("setting", false);
    EXPECT_FALSE(toggle->property("isOn").toBool());
    root->setProperty("setting", true);
    EXPECT_TRUE(toggle->property("isOn").toBool());

    QMetaObject::invokeMethod(toggle, "clicked");
    EXPECT_FALSE(root->property("setting").toBool());
    EXPECT_FALSE(toggle->property("isOn").toBool());
}

// A caller that refuses the change keeps the switch where it is.
TEST_F(SageToggleTest, WithoutTheCallersWriteTheSwitchStaysPut)
{
    QQmlEngine engine;
    design::prepareEngine(engine);
    QQmlComponent component(&engine);
    component.setData("import Quellvista.Design\nSageToggle { isOn: true; tint: Theme.sage }\n",
                      QUrl("qrc:/test/Fixed.qml"));
    std::unique_ptr<QObject> toggle(component.create());
    ASSERT_TRUE(toggle) << qPrintable(component.errorString());
    QMetaObject::invokeMethod(toggle.get(), "clicked");
    EXPECT_TRUE(toggle->property("isOn").toBool());
}

} // namespace
