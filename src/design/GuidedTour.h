#pragma once

#include "runtime/StoredSetting.h"

#include <QColor>
#include <QEasingCurve>
#include <QList>
#include <QObject>
#include <QQuickPaintedItem>
#include <QRectF>
#include <QVariantMap>
#include <QString>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

namespace qv {

// One step of a page's guided tour: the identifier of the step (its raw value), the
// badge's system symbol, the title and the explanation.
struct GuidedTourStep {
    QString id;
    QString symbolName;
    QString title;
    QString message;
};

// A page's guided tour over an ordered list of steps: the optional current step (none
// while the tour is closed) and the stored completion flag under the key the page gives.
//
// - open(): opens at the current step, or at the first one when there is none.
// - select(step): makes the step current and asks the page to scroll its block to the top
//   (scrollRequested with the step's anchor id), also when it already is current.
// - next(): the following step, or finish() on the last step (and with none open).
// - previous(): the step before; nothing on the first step or with none open.
// - finish(): stores the completion flag as true, then closes the tour. The flag only
//   ever goes from false to true here, and does not stop the tour from opening again.
//
// The anchor id of a step is the page's prefix followed by the step's id. Step changes
// animate over stepAnimationDuration (0.25 s unless the page sets its own), finishing over finishAnimationDuration
// (0.2 s), both ease-in-out; changeDuration tells the views which of the two the latest
// change asked for.
class GuidedTour : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("A page's view-model makes its tour")
    Q_PROPERTY(QStringList steps READ stepIds CONSTANT)
    Q_PROPERTY(int stepCount READ stepCount CONSTANT)
    Q_PROPERTY(QString currentStep READ currentStep NOTIFY currentStepChanged)
    Q_PROPERTY(int currentIndex READ currentIndex NOTIFY currentStepChanged)
    Q_PROPERTY(bool isOpen READ isOpen NOTIFY currentStepChanged)
    Q_PROPERTY(bool completed READ completed NOTIFY completedChanged)
    Q_PROPERTY(QString currentTitle READ currentTitle NOTIFY currentStepChanged)
    Q_PROPERTY(QString currentMessage READ currentMessage NOTIFY currentStepChanged)
    Q_PROPERTY(QString currentSymbol READ currentSymbol NOTIFY currentStepChanged)
    Q_PROPERTY(QString positionText READ positionText NOTIFY currentStepChanged)
    Q_PROPERTY(bool canGoBack READ canGoBack NOTIFY currentStepChanged)
    Q_PROPERTY(QString backLabel READ backLabel CONSTANT)
    Q_PROPERTY(QString closeLabel READ closeLabel CONSTANT)
    Q_PROPERTY(QString nextLabel READ nextLabel NOTIFY currentStepChanged)
    Q_PROPERTY(int changeDuration READ changeDuration NOTIFY currentStepChanged)
    Q_PROPERTY(int stepAnimationDuration READ stepAnimationDuration CONSTANT)
    Q_PROPERTY(int finishAnimationDuration READ finishAnimationDuration CONSTANT)
    Q_PROPERTY(int highlightAnimationDuration READ highlightAnimationDuration CONSTANT)
    Q_PROPERTY(QEasingCurve easing READ easing CONSTANT)
public:
    GuidedTour(QList<GuidedTourStep> steps, const QString &completionKey, const QString &anchorPrefix,
               QObject *parent = nullptr);

    static constexpr int kStepAnimationMs = 250;
    static constexpr int kFinishAnimationMs = 200;
    // The highlight and pop-up of a block follow whether it is current over 0.2 s.
    static constexpr int kHighlightAnimationMs = 200;

    QStringList stepIds() const;
    int stepCount() const { return int(m_steps.size()); }
    QString currentStep() const;
    int currentIndex() const { return m_current; }
    bool isOpen() const { return m_current >= 0; }
    bool completed() const;

    QString currentTitle() const;
    QString currentMessage() const;
    QString currentSymbol() const;
    // "Step n of m" for the current step; empty while closed.
    QString positionText() const;
    bool canGoBack() const { return m_current > 0; }
    static QString backLabel() { return QStringLiteral("Back"); }
    // The accessible name of the pop-up's close button.
    static QString closeLabel() { return QStringLiteral("Close guide"); }
    // "Finish" on the last step, "Next" otherwise.
    QString nextLabel() const;
    int changeDuration() const { return m_changeDuration; }
    int stepAnimationDuration() const { return m_stepAnimationMs; }
    // A page whose tour moves between steps at another pace sets it before showing it.
    void setStepAnimationDuration(int ms) { m_stepAnimationMs = ms; }
    static int finishAnimationDuration() { return kFinishAnimationMs; }
    static int highlightAnimationDuration() { return kHighlightAnimationMs; }
    // Ease-in-out, as every tour change animates.
    static QEasingCurve easing();

    // The scroll anchor of a step: the page's prefix and the step's id.
    Q_INVOKABLE QString anchorId(const QString &step) const { return m_anchorPrefix + step; }
    Q_INVOKABLE bool isCurrent(const QString &step) const { return isOpen() && currentStep() == step; }
    // The texts of a given step (a pop-up that is leaving keeps showing its own step);
    // empty for an unknown step.
    Q_INVOKABLE QString titleOf(const QString &step) const;
    Q_INVOKABLE QString messageOf(const QString &step) const;
    Q_INVOKABLE QString symbolOf(const QString &step) const;
    Q_INVOKABLE QString positionOf(const QString &step) const;
    Q_INVOKABLE QString nextLabelOf(const QString &step) const;
    Q_INVOKABLE bool canGoBackFrom(const QString &step) const { return indexOf(step) > 0; }
    // Where a step's pop-up goes: beside its block, never over what it explains. Under the
    // block when it fits there within room, else above it, else to its right, else to its
    // left; under it when it fits nowhere. Above and under, its trailing edge is 12 points
    // inside the block's. block and room are in one coordinate system.
    enum class PopupSide { below, above, right, left };
    struct PopupPlacement {
        QPointF position; // the pop-up's top-left, relative to the block's
        PopupSide side = PopupSide::below;
        bool operator==(const PopupPlacement &) const = default;
    };
    static constexpr qreal kPopupGap = 14; // clear of the block's outline, the pointer in it
    static PopupPlacement placePopup(const QRectF &block, const QSizeF &popup, const QRectF &room);
    // The same for the views: x, y, side ("below", "above", "right", "left").
    Q_INVOKABLE static QVariantMap popupPlacement(const QRectF &block, const QSizeF &popup, const QRectF &room);

    // The step after / before the given one; empty at either end or for an unknown step.
    QString stepAfter(const QString &step) const;
    QString stepBefore(const QString &step) const;

    Q_INVOKABLE void open();
    Q_INVOKABLE void select(const QString &step);
    Q_INVOKABLE void next();
    Q_INVOKABLE void previous();
    Q_INVOKABLE void finish();
    // Closes without storing the flag (the page goes away with the tour open).
    void close();

signals:
    void currentStepChanged();
    void completedChanged();
    // The page brings the block with this anchor id to the top of its scroll view.
    void scrollRequested(const QString &anchorId);

private:
    int indexOf(const QString &step) const;
    void setCurrent(int index, int duration);

    QList<GuidedTourStep> m_steps;
    QString m_anchorPrefix;
    StoredSetting m_completed;
    int m_current = -1;
    int m_stepAnimationMs = kStepAnimationMs;
    int m_changeDuration = kStepAnimationMs;
};

// The pointer shape of a tour pop-up: in its rectangle, a closed path from the middle of
// the top edge to the bottom-right corner, to the bottom-left corner and back, filled.
class TriangleItem : public QQuickPaintedItem {
    Q_OBJECT
    QML_NAMED_ELEMENT(Triangle)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
public:
    explicit TriangleItem(QQuickItem *parent = nullptr);
    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    void paint(QPainter *painter) override;

signals:
    void colorChanged();

private:
    QColor m_color = Qt::white;
};

} // namespace qv
