#include "design/TextLimit.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QQuickItem>

#include <utility>

namespace qv::design {

namespace {

QString textOf(const QObject *item)
{
    return item ? item->property("text").toString() : QString();
}

int intOf(const QObject *item, const char *name)
{
    return item ? item->property(name).toInt() : 0;
}

} // namespace

TextLimit::TextLimit(QObject *parent) : QObject(parent) {}

QQuickItem *TextLimit::target() const
{
    return m_target;
}

void TextLimit::setTarget(QQuickItem *target)
{
    if (m_target == target)
        return;
    m_typed.clear();
    m_typedFlush.cancel();
    if (m_target) {
        m_target->removeEventFilter(this);
        disconnect(m_target, nullptr, this, nullptr);
    }
    m_target = target;
    if (target) {
        target->installEventFilter(this);
        // TextInput and TextEdit each have the signal, but no common class declares it.
        const int index = target->metaObject()->indexOfSignal("textChanged()");
        if (index >= 0)
            QMetaObject::connect(target, index, this, metaObject()->indexOfSlot("followText()"));
    }
    emit targetChanged();
    followText();
}

void TextLimit::setMaximumLength(int length)
{
    length = std::max(length, 0);
    if (m_maximumLength == length)
        return;
    m_maximumLength = length;
    emit maximumLengthChanged();
    followText();
}

void TextLimit::setMultiLine(bool multiLine)
{
    if (m_multiLine == multiLine)
        return;
    m_multiLine = multiLine;
    emit multiLineChanged();
}

QString TextLimit::fitted(const QString &text, qsizetype room, bool multiLine, bool *cut)
{
    QString out;
    out.reserve(std::min(text.size(), std::max<qsizetype>(room, 0)));
    bool lost = false;
    int marksInRow = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text.at(i);
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            continue; // one line break, not two
        if (c == u'\r')
            c = u'\n';
        if (!multiLine && (c == u'\n' || c == u'\t' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator))
            c = u' ';
        if (c.category() == QChar::Other_Control && c != u'\n' && c != u'\t')
            continue; // NUL and the like: nothing a note should hold
        const qsizetype length = c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate() ? 2 : 1;
        // No letter carries more marks than stream-safe text allows: thousands of them on
        // one letter cost the layout far more than as many letters, and show nothing more.
        const char32_t code = length == 2 ? QChar::surrogateToUcs4(c, text.at(i + 1)) : c.unicode();
        if (QChar::isMark(code)) {
            if (++marksInRow > kMaxMarksInRow) {
                i += length - 1;
                continue;
            }
        } else {
            marksInRow = 0;
        }
        if (out.size() + length > room) {
            lost = true;
            break;
        }
        out += c;
        if (length == 2)
            out += text.at(++i);
    }
    if (cut)
        *cut = lost;
    return out;
}

QString TextLimit::cutTo(const QString &text, qsizetype maximum)
{
    if (text.size() <= maximum)
        return text;
    qsizetype end = std::max<qsizetype>(maximum, 0);
    if (end > 0 && text.at(end - 1).isHighSurrogate())
        --end;
    return text.left(end);
}

qsizetype TextLimit::room() const
{
    const qsizetype selected = intOf(m_target, "selectionEnd") - intOf(m_target, "selectionStart");
    return std::max<qsizetype>(0, m_maximumLength - (textOf(m_target).size() - selected));
}

void TextLimit::insert(const QString &text, int position)
{
    if (!m_target)
        return;
    if (position < 0) {
        const int start = intOf(m_target, "selectionStart");
        const int end = intOf(m_target, "selectionEnd");
        if (end > start)
            QMetaObject::invokeMethod(m_target, "remove", Q_ARG(int, start), Q_ARG(int, end));
        position = intOf(m_target, "cursorPosition");
    }
    if (!text.isEmpty()) {
        QMetaObject::invokeMethod(m_target, "insert", Q_ARG(int, position), Q_ARG(QString, text));
        m_target->setProperty("cursorPosition", position + int(text.size()));
    }
}

bool TextLimit::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_target || m_target->property("readOnly").toBool())
        return false;
    switch (event->type()) {
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethodQuery:
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
    case QEvent::HoverLeave:
        break; // neither reads nor changes the text: the run may go on
    case QEvent::KeyPress:
        if (onlyTypes(*static_cast<QKeyEvent *>(event)))
            break;
        flushTyped();
        break;
    default:
        flushTyped(); // the field sees every letter typed before this
    }
    bool cut = false;
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto *key = static_cast<QKeyEvent *>(event);
#if QT_CONFIG(clipboard)
        if (key->matches(QKeySequence::Paste)) {
            const QString text = fitted(QGuiApplication::clipboard()->text(), room(), m_multiLine, &cut);
            insert(text);
            setWasCut(cut);
            return true;
        }
#endif
        const QString typed = key->text();
        // Keys without text (arrows, shortcuts) and the editing keys go on as they are.
        if (typed.isEmpty() || key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete
            || key->key() == Qt::Key_Escape || (!m_multiLine && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter))
            || (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)))
            return false;
        if (onlyTypes(*key)) {
            const QString text = fitted(typed, room() - m_typed.size(), m_multiLine, &cut);
            m_typed += text;
            if (!m_typedFlush)
                m_typedFlush = scheduler().post(this, [this] { flushTyped(); });
            if (cut)
                setWasCut(true);
            return true;
        }
        const QString text = fitted(typed, room(), m_multiLine, &cut);
        if (!cut)
            return false; // as typed: the field inserts it
        insert(text);
        setWasCut(true);
        return true;
    }
    case QEvent::InputMethod: {
        auto *input = static_cast<QInputMethodEvent *>(event);
        if (input->commitString().isEmpty())
            return false;
        const QString text = fitted(input->commitString(), room(), m_multiLine, &cut);
        if (!cut)
            return false;
        QInputMethodEvent shorter(input->preeditString(), input->attributes());
        shorter.setCommitString(text, input->replacementStart(), input->replacementLength());
        QCoreApplication::sendEvent(m_target, &shorter);
        setWasCut(true);
        return true;
    }
#if QT_CONFIG(clipboard)
    case QEvent::MouseButtonPress: {
        // X11's middle-button paste of the selection.
        auto *mouse = static_cast<QMouseEvent *>(event);
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (mouse->button() != Qt::MiddleButton || !clipboard->supportsSelection())
            return false;
        int position = 0;
        QMetaObject::invokeMethod(m_target, "positionAt", Q_RETURN_ARG(int, position),
                                  Q_ARG(qreal, mouse->position().x()), Q_ARG(qreal, mouse->position().y()));
        const qsizetype roomLeft = std::max<qsizetype>(0, m_maximumLength - textOf(m_target).size());
        insert(fitted(clipboard->text(QClipboard::Selection), roomLeft, m_multiLine, &cut), position);
        setWasCut(cut);
        return true;
    }
    case QEvent::MouseButtonRelease:
        return static_cast<QMouseEvent *>(event)->button() == Qt::MiddleButton
               && QGuiApplication::clipboard()->supportsSelection();
#endif
    default:
        return false;
    }
}

void TextLimit::followText()
{
    if (!m_target || m_cutting)
        return;
    const QString text = textOf(m_target);
    if (text.size() > m_maximumLength) {
        // Set some other way than typing or pasting: cut after the fact.
        m_cutting = true;
        m_target->setProperty("text", cutTo(text, m_maximumLength));
        m_cutting = false;
        setWasCut(true);
    } else if (text.size() < m_maximumLength) {
        setWasCut(false);
    }
}

bool TextLimit::onlyTypes(const QKeyEvent &key) const
{
    const QString typed = key.text();
    if (typed.isEmpty() || (key.modifiers() & (Qt::ControlModifier | Qt::MetaModifier)))
        return false;
    // Return, Tab, Backspace, Delete and Escape do more than type: the field has them.
    for (QChar c : typed) {
        if (c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

void TextLimit::flushTyped()
{
    m_typedFlush.cancel();
    if (m_typed.isEmpty())
        return;
    const QString typed = std::exchange(m_typed, QString());
    if (!m_target)
        return;
    insert(typed);
}

void TextLimit::setWasCut(bool cut)
{
    if (m_wasCut == cut)
        return;
    m_wasCut = cut;
    emit wasCutChanged();
}

} // namespace qv::design
