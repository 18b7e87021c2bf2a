#include "design/GuidedTour.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace qv {

GuidedTour::GuidedTour(QList<GuidedTourStep> steps, const QString &completionKey, const QString &anchorPrefix,
                       QObject *parent)
    : QObject(parent), m_steps(std::move(steps)), m_anchorPrefix(anchorPrefix), m_completed(completionKey, false)
{
    connect(&m_completed, &StoredSetting::valueChanged, this, &GuidedTour::completedChanged);
}

QStringList GuidedTour::stepIds() const
{
    QStringList ids;
    for (const GuidedTourStep &step : m_steps)
        ids << step.id;
    return ids;
}

QString GuidedTour::currentStep() const
{
    return isOpen() ? m_steps[m_current].id : QString();
}

bool GuidedTour::completed() const
{
    return m_completed.value().toBool();
}

QString GuidedTour::currentTitle() const
{
    return titleOf(currentStep());
}

QString GuidedTour::currentMessage() const
{
    return messageOf(currentStep());
}

QString GuidedTour::currentSymbol() const
{
    return symbolOf(currentStep());
}

QString GuidedTour::positionText() const
{
    return positionOf(currentStep());
}

QString GuidedTour::nextLabel() const
{
    return isOpen() ? nextLabelOf(currentStep()) : QStringLiteral("Next");
}

QString GuidedTour::titleOf(const QString &step) const
{
    const int i = indexOf(step);
    return i >= 0 ? m_steps[i].title : QString();
}

QString GuidedTour::messageOf(const QString &step) const
{
    const int i = indexOf(step);
    return i >= 0 ? m_steps[i].message : QString();
}

QString GuidedTour::symbolOf(const QString &step) const
{
    const int i = indexOf(step);
    return i >= 0 ? m_steps[i].symbolName : QString();
}

QString GuidedTour::positionOf(const QString &step) const
{
    const int i = indexOf(step);
    return i >= 0 ? QStringLiteral("Step %1 of %2").arg(i + 1).arg(stepCount()) : QString();
}

QString GuidedTour::nextLabelOf(const QString &step) const
{
    const int i = indexOf(step);
    return i >= 0 && i + 1 >= stepCount() ? QStringLiteral("Finish") : QStringLiteral("Next");
}

QEasingCurve GuidedTour::easing()
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.42, 0.0), QPointF(0.58, 1.0), QPointF(1.0, 1.0));
    return curve;
}

int GuidedTour::indexOf(const QString &step) const
{
    for (int i = 0; i < stepCount(); ++i)
        if (m_steps[i].id == step)
            return i;
    return -1;
}

QString GuidedTour::stepAfter(const QString &step) const
{
    const int i = indexOf(step);
    return i >= 0 && i + 1 < stepCount() ? m_steps[i + 1].id : QString();
}

QString GuidedTour::stepBefore(const QString &step) const
{
    const int i = indexOf(step);
    return i > 0 ? m_steps[i - 1].id : QString();
}

void GuidedTour::setCurrent(int index, int duration)
{
    m_changeDuration = duration;
    if (m_current == index)
        return;
    m_current = index;
    emit currentStepChanged();
}

void GuidedTour::open()
{
    if (m_steps.isEmpty())
        return;
    select(isOpen() ? currentStep() : m_steps.first().id);
}

void GuidedTour::select(const QString &step)
{
    const int index = indexOf(step);
    if (index < 0)
        return;
    setCurrent(index, m_stepAnimationMs);
    emit scrollRequested(anchorId(step));
}

void GuidedTour::next()
{
    if (isOpen() && m_current + 1 < stepCount())
        select(m_steps[m_current + 1].id);
    else
        finish();
}

void GuidedTour::previous()
{
    if (m_current > 0)
        select(m_steps[m_current - 1].id);
}

void GuidedTour::finish()
{
    if (!completed())
        m_completed.setValue(true);
    setCurrent(-1, kFinishAnimationMs);
}

void GuidedTour::close()
{
    setCurrent(-1, kFinishAnimationMs);
}

TriangleItem::TriangleItem(QQuickItem *parent) : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
}

void TriangleItem::setColor(const QColor &color)
{
    if (m_color == color)
        return;
    m_color = color;
    update();
    emit colorChanged();
}

void TriangleItem::paint(QPainter *painter)
{
    const QRectF r = boundingRect();
    QPainterPath path;
    path.moveTo(r.center().x(), r.top());
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(path, m_color);
}

GuidedTour::PopupPlacement GuidedTour::placePopup(const QRectF &block, const QSizeF &popup, const QRectF &room)
{
    const qreal w = popup.width(), h = popup.height();
    // Across: the trailing edge 12 points inside the block's, kept inside the room.
    const qreal alignedX =
        std::clamp(block.right() - 12 - w, room.left(), std::max(room.left(), room.right() - w));
    const qreal sideY = std::clamp(block.top() + 12, room.top(), std::max(room.top(), room.bottom() - h));
    const auto at = [&](qreal x, qreal y, PopupSide side) {
        return PopupPlacement{QPointF(x - block.left(), y - block.top()), side};
    };
    if (block.bottom() + kPopupGap + h <= room.bottom())
        return at(alignedX, block.bottom() + kPopupGap, PopupSide::below);
    if (block.top() - kPopupGap - h >= room.top())
        return at(alignedX, block.top() - kPopupGap - h, PopupSide::above);
    if (block.right() + kPopupGap + w <= room.right())
        return at(block.right() + kPopupGap, sideY, PopupSide::right);
    if (block.left() - kPopupGap - w >= room.left())
        return at(block.left() - kPopupGap - w, sideY, PopupSide::left);
    return at(alignedX, block.bottom() + kPopupGap, PopupSide::below);
}

QVariantMap GuidedTour::popupPlacement(const QRectF &block, const QSizeF &popup, const QRectF &room)
{
    const PopupPlacement placed = placePopup(block, popup, room);
    static const char *const names[] = {"below", "above", "right", "left"};
    return {{QStringLiteral("x"), placed.position.x()},
            {QStringLiteral("y"), placed.position.y()},
            {QStringLiteral("side"), QString::fromLatin1(names[int(placed.side)])}};
}

} // namespace qv
