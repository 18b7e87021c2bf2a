#include "app/ControlListing.h"

#include "runtime/Files.h"
#include "runtime/Scheduler.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QVariant>
#include <QWindow>

namespace qv {

namespace {

void collect(QAccessibleInterface *node, QString &out, int depth)
{
    if (!node || !node->isValid() || depth > 200)
        return;
    if (node->role() == QAccessible::Slider && !node->state().invisible) {
        const QRect r = node->rect();
        // A slider item's own range, where the accessible one is not filled in.
        QObject *item = node->object();
        QVariant value, minimum, maximum;
        if (QAccessibleValueInterface *v = node->valueInterface()) {
            value = v->currentValue();
            minimum = v->minimumValue();
            maximum = v->maximumValue();
        }
        if (item && item->property("from").isValid() && item->property("to").isValid()) {
            value = item->property("value");
            minimum = item->property("from");
            maximum = item->property("to");
        }
        QString name = node->text(QAccessible::Name);
        name.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        out += QStringLiteral("slider\t%1\t%2 %3 %4 %5\t%6\n")
                   .arg(name)
                   .arg(r.x())
                   .arg(r.y())
                   .arg(r.width())
                   .arg(r.height())
                   .arg(QStringLiteral("%1 %2 %3")
                            .arg(value.toDouble())
                            .arg(minimum.toDouble())
                            .arg(maximum.toDouble()));
    }
    for (int i = 0; i < node->childCount(); ++i)
        collect(node->child(i), out, depth + 1);
}

// Buttons and text fields, from the item tree (a page's controls need not all be in the
// accessibility tree): "button" or "text", the name (the object name, else the text), the
// place on the screen, and for a text field its length.
void collectItems(QQuickItem *item, const QPoint &origin, QString &out, int depth)
{
    if (!item || !item->isVisible() || depth > 200)
        return;
    const bool button = item->inherits("QQuickAbstractButton");
    const bool field = item->inherits("QQuickTextInput") || item->inherits("QQuickTextEdit");
    if (button || field) {
        QString name = item->objectName();
        if (name.isEmpty() && button)
            name = item->property("text").toString();
        name.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        const QRectF r = item->mapRectToScene(QRectF(0, 0, item->width(), item->height())).translated(origin);
        out += QStringLiteral("%1\t%2\t%3 %4 %5 %6\t%7\n")
                   .arg(button ? QStringLiteral("button") : QStringLiteral("text"), name.left(80))
                   .arg(qRound(r.x()))
                   .arg(qRound(r.y()))
                   .arg(qRound(r.width()))
                   .arg(qRound(r.height()))
                   .arg(field ? QString::number(item->property("length").toInt()) : QString());
    }
    const auto children = item->childItems();
    for (QQuickItem *child : children)
        collectItems(child, origin, out, depth + 1);
}

} // namespace

ControlListing::ControlListing(QObject *parent) : QObject(parent)
{
    const QString path = qEnvironmentVariable("QUELLVISTA_CONTROL_LIST");
    if (path.isEmpty())
        return;
    scheduler().every(1000, this, [path] { files::writeAtomically(path, listSliders().toUtf8()); });
}

QString ControlListing::listSliders()
{
    QString out;
    for (QWindow *window : QGuiApplication::topLevelWindows())
        if (window->isVisible())
            out += QStringLiteral("window\t%1\t%2 %3 %4 %5\t\n")
                       .arg(window->title().replace(QLatin1Char('\t'), QLatin1Char(' ')))
                       .arg(window->x())
                       .arg(window->y())
                       .arg(window->width())
                       .arg(window->height());
    for (QWindow *window : QGuiApplication::topLevelWindows())
        if (window->isVisible())
            collect(QAccessible::queryAccessibleInterface(window), out, 0);
    for (QWindow *window : QGuiApplication::topLevelWindows())
        if (auto *quick = qobject_cast<QQuickWindow *>(window); quick && quick->isVisible())
            collectItems(quick->contentItem(), quick->position(), out, 0);
    return out;
}

} // namespace qv
