#include "design/Design.h"
#include "design/TextLimit.h"
#include "support/MissingTool.h"
#include "support/TestEnvironment.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>

#include <gtest/gtest.h>

#include <memory>

using namespace qv;
using design::TextLimit;

namespace {

const QString kHebrew = QStringLiteral("\u05E9\u05DC\u05D5\u05DD");
const QString kFace = QStringLiteral("\U0001F600"); // two UTF-16 units

TEST(TextLimit, FittingDropsControlsAndCutsAtWholeCharacters)
{
    const struct {
        QString text;
        qsizetype room;
        bool multiLine;
        QString fitted;
        bool cut;
    } cases[] = {
        {"abc", 5, false, "abc", false},
        {"abcdef", 4, false, "abcd", true},
        {QString::fromUtf16(u"a\0b\x01" "c", 5), 10, false, "abc", false},
        {"one\r\ntwo\rthree\tfour", 40, true, "one\ntwo\nthree\tfour", false},
        {"one\r\ntwo\u2029three\tfour", 40, false, "one two three four", false},
        {"ab" + kFace, 3, false, "ab", true},
        {"ab" + kFace, 4, false, "ab" + kFace, false},
        // At most 30 marks on a letter; the next letter may carry its own.
        {QString(10000, QChar(0x0301)).prepend(u'e') + "a" + QString(40, QChar(0x0301)), 100, false,
         QString(30, QChar(0x0301)).prepend(u'e') + "a" + QString(30, QChar(0x0301)), false},
        {QString(20, QChar(0x0301)).prepend(u'e'), 10, false, QString(9, QChar(0x0301)).prepend(u'e'), true},
        {"abc " + kHebrew + " def", 100, false, "abc " + kHebrew + " def", false},
        {"abc", 0, false, "", true},
        {"", 0, false, "", false},
    };
    for (const auto &c : cases) {
        bool cut = false;
        EXPECT_EQ(TextLimit::fitted(c.text, c.room, c.multiLine, &cut), c.fitted) << qPrintable(c.text.left(20));
        EXPECT_EQ(cut, c.cut) << qPrintable(c.text.left(20));
    }
    EXPECT_EQ(TextLimit::cutTo("ab" + kFace + "c", 3), "ab");
    EXPECT_EQ(TextLimit::cutTo("abc", 5), "abc");
}

// The real fields: what a paste or a key puts in is cut before the field lays it out,
// for the one-line field of the rename sheet and the editor of the feedback composer.
class TextLimitFieldTest : public test::QvTest {
protected:
    void SetUp() override
    {
        test::QvTest::SetUp();
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QV_SKIP_WITHOUT("needs an X11 server (scripts/test starts one)");
        design::prepareEngine(engine);
    }

    QQuickItem *load(const char *field, bool multiLine)
    {
        QQmlComponent component(&engine);
        component.setData(QByteArray("import QtQuick\nimport QtQuick.Controls.Basic\nimport Quellvista.Design\n"
                                     "Window { width: 400; height: 200; visible: true\n")
                              + field + " { id: field; objectName: 'field'; focus: true; width: 380; height: 180\n"
                              + "  TextLimit { objectName: 'limit'; target: field; maximumLength: 64; multiLine: "
                              + (multiLine ? "true" : "false") + " } } }",
                          QUrl("qrc:/TextLimitTest.qml"));
        window.reset(qobject_cast<QQuickWindow *>(component.create()));
        EXPECT_TRUE(window) << qPrintable(component.errorString());
        if (!window)
            return nullptr;
        auto *item = window->findChild<QQuickItem *>("field");
        item->forceActiveFocus();
        limit = window->findChild<TextLimit *>("limit");
        return item;
    }

    void key(QQuickItem *item, int code, Qt::KeyboardModifiers modifiers, const QString &text)
    {
        QKeyEvent press(QEvent::KeyPress, code, modifiers, text);
        QCoreApplication::sendEvent(item, &press);
    }

    void paste(QQuickItem *item, const QString &text)
    {
        QGuiApplication::clipboard()->setText(text);
        key(item, Qt::Key_V, Qt::ControlModifier, QString());
    }

    QQmlEngine engine;
    std::unique_ptr<QQuickWindow> window;
    TextLimit *limit = nullptr;
};

TEST_F(TextLimitFieldTest, PastedAndTypedTextStaysWithinTheLimit)
{
    for (const auto &[field, multiLine] : {std::pair{"TextField", false}, std::pair{"TextArea", true}}) {
        SCOPED_TRACE(field);
        QQuickItem *item = load(field, multiLine);
        ASSERT_TRUE(item);
        const auto text = [&] { return item->property("text").toString(); };

        paste(item, QString(1000000, u'x'));
        EXPECT_EQ(text().size(), 64);
        EXPECT_TRUE(limit->wasCut());
        // Typing at the limit changes nothing; deleting a character takes the note away.
        key(item, Qt::Key_A, Qt::NoModifier, "a");
        EXPECT_EQ(text(), QString(64, u'x'));
        key(item, Qt::Key_Backspace, Qt::NoModifier, QString());
        EXPECT_EQ(text().size(), 63);
        EXPECT_FALSE(limit->wasCut());

        // A paste over a selection has the selection's room too.
        QMetaObject::invokeMethod(item, "selectAll");
        paste(item, QString::fromUtf16(u"a\0b\r\nc", 6) + kHebrew + "z" + QString(10000, QChar(0x0301))
                        + QString(100, u'q'));
        const QString expected =
            QString("ab") + (multiLine ? "\n" : " ") + "c" + kHebrew + "z" + QString(30, QChar(0x0301));
        EXPECT_EQ(text(), expected + QString(64 - expected.size(), u'q'));
        EXPECT_TRUE(limit->wasCut());

        // Text set from outside is cut too.
        item->setProperty("text", QString(200, u'y') + kFace);
        EXPECT_EQ(text(), QString(64, u'y'));

        // Letters typed in a run go in together once the queued keys are handled, or
        // before any other key reaches the field; those beyond the room are cut.
        item->setProperty("text", QString(60, u'x'));
        item->setProperty("cursorPosition", 60);
        key(item, Qt::Key_A, Qt::NoModifier, "a");
        key(item, Qt::Key_B, Qt::NoModifier, "b");
        EXPECT_EQ(text(), QString(60, u'x'));
        runPending();
        EXPECT_EQ(text(), QString(60, u'x') + "ab");
        EXPECT_FALSE(limit->wasCut());
        for (const char *letter : {"c", "d", "e"})
            key(item, Qt::Key_C, Qt::NoModifier, letter);
        key(item, Qt::Key_Left, Qt::NoModifier, QString());
        EXPECT_EQ(text(), QString(60, u'x') + "abcd");
        EXPECT_EQ(item->property("cursorPosition").toInt(), 63);
        EXPECT_TRUE(limit->wasCut());
    }
}

} // namespace
