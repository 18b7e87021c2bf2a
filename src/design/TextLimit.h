#pragma once

#include "runtime/Scheduler.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QtQml/qqmlregistration.h>

class QKeyEvent;
class QQuickItem;

namespace qv::design {

// Holds a text field (TextInput or TextEdit, and the controls built on them) to the
// length its stored form allows, before the text reaches the field: a paste (the paste
// keys, or the middle button's selection on X11) and typed or composed text are cut to
// the room left, and control characters are dropped (a one-line field takes line breaks
// and tabs as spaces). Text set any other way is cut after the fact. Laying out the
// field's text costs time in proportion to its length on every key, so without a limit
// a long paste leaves the window unresponsive. For the same reason letters typed in a run
// go in together: each key only adds its letter to the run, and the field takes the run
// (and lays its text out) once, when the keys queued so far have been handled, or before
// any other key, click or input-method event reaches it. However fast keys come, the
// window thus lays the text out once per turn of its event loop, not once per key, and
// answers the window manager's ping in between. `wasCut` says that something was cut,
// for the note beside the field, until the text is shorter than the limit again.
class TextLimit : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QQuickItem *target READ target WRITE setTarget NOTIFY targetChanged)
    Q_PROPERTY(int maximumLength READ maximumLength WRITE setMaximumLength NOTIFY maximumLengthChanged)
    Q_PROPERTY(bool multiLine READ multiLine WRITE setMultiLine NOTIFY multiLineChanged)
    Q_PROPERTY(bool wasCut READ wasCut NOTIFY wasCutChanged)
public:
    explicit TextLimit(QObject *parent = nullptr);

    QQuickItem *target() const;
    void setTarget(QQuickItem *target);
    int maximumLength() const { return m_maximumLength; }
    void setMaximumLength(int length);
    bool multiLine() const { return m_multiLine; }
    void setMultiLine(bool multiLine);
    bool wasCut() const { return m_wasCut; }

    // text without NUL and the other control characters (line breaks and tabs kept in a
    // multi-line field, spaces in a one-line one) and without the combining marks beyond
    // kMaxMarksInRow in a row, then cut to room UTF-16 units, never between the two
    // halves of a surrogate pair. *cut tells whether the room cut it.
    static QString fitted(const QString &text, qsizetype room, bool multiLine, bool *cut = nullptr);
    // The same for text already in a field: the first maximum units, whole characters.
    static QString cutTo(const QString &text, qsizetype maximum);
    // The most combining marks in a row that stream-safe Unicode text holds.
    static constexpr int kMaxMarksInRow = 30;

signals:
    void targetChanged();
    void maximumLengthChanged();
    void multiLineChanged();
    void wasCutChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    // Cuts text that came some other way than typing or pasting.
    void followText();

private:
    // The room a replacement of the selection has.
    qsizetype room() const;
    // Puts text in place of the selection, or at position when given.
    void insert(const QString &text, int position = -1);
    void setWasCut(bool cut);
    // Whether a key press only types its text, which can then wait in the run.
    bool onlyTypes(const QKeyEvent &key) const;
    // Puts the letters typed so far into the field.
    void flushTyped();

    QPointer<QQuickItem> m_target;
    int m_maximumLength = 32767;
    bool m_multiLine = false;
    bool m_wasCut = false;
    bool m_cutting = false;
    QString m_typed; // typed, not yet in the field
    TaskHandle m_typedFlush;
};

} // namespace qv::design
