#include "design/AccessibleValue.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QAccessibleObject>
#include <QPointer>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>

#include <algorithm>
#include <cmath>

namespace qv::design {

namespace {

const char *const kValueProperty = "accessibleValue";

// The Accessible attached object of an item: a child QObject of the item itself.
QObject *attached(const QObject *item)
{
    for (QObject *child : item->children())
        if (qstrcmp(child->metaObject()->className(), "QQuickAccessibleAttached") == 0)
            return child;
    return nullptr;
}

bool hasTextValue(const QObject *object)
{
    return object->metaObject()->indexOfProperty(kValueProperty) >= 0 &&
           object->property(kValueProperty).typeId() == QMetaType::QString;
}

// A control with a text value: a leaf of the accessibility tree under the nearest item
// that is itself in the tree.
class ValuedControl : public QAccessibleObject, public QAccessibleValueInterface, public QAccessibleActionInterface {
public:
    explicit ValuedControl(QQuickItem *item) : QAccessibleObject(item), m_item(item) {}

    bool isValid() const override { return !m_item.isNull(); }
    QWindow *window() const override { return m_item ? m_item->window() : nullptr; }

    QAccessibleInterface *parent() const override
    {
        if (!m_item)
            return nullptr;
        for (QQuickItem *up = m_item->parentItem(); up; up = up->parentItem()) {
            if (m_item->window() && up == m_item->window()->contentItem())
                return QAccessible::queryAccessibleInterface(m_item->window());
            if (attached(up))
                return QAccessible::queryAccessibleInterface(up);
        }
        return m_item->window() ? QAccessible::queryAccessibleInterface(m_item->window()) : nullptr;
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        if (!m_item)
            return {};
        switch (t) {
        case QAccessible::Name:
            return attachedProperty("name").toString();
        case QAccessible::Description:
            return attachedProperty("description").toString();
        case QAccessible::Value:
            return m_item->property(kValueProperty).toString();
        default:
            return {};
        }
    }

    QAccessible::Role role() const override
    {
        const int role = attachedProperty("role").toInt();
        if (role != QAccessible::NoRole)
            return QAccessible::Role(role);
        if (isSlider())
            return QAccessible::Slider;
        return m_item && m_item->inherits("QQuickAbstractButton") ? QAccessible::Button : QAccessible::Client;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!m_item)
            return s;
        s.invisible = !m_item->isVisible();
        s.disabled = !m_item->isEnabled();
        s.focusable = m_item->activeFocusOnTab() || m_item->inherits("QQuickControl");
        s.focused = m_item->hasActiveFocus();
        s.checkable = attachedProperty("checkable").toBool();
        s.checked = attachedProperty("checked").toBool();
        s.pressed = m_item->property("pressed").toBool();
        return s;
    }

    QRect rect() const override
    {
        if (!m_item || !m_item->window())
            return {};
        const QRectF scene = m_item->mapRectToScene(QRectF(0, 0, m_item->width(), m_item->height()));
        return QRect(m_item->window()->mapToGlobal(scene.topLeft().toPoint()), scene.size().toSize());
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface && isSlider())
            return static_cast<QAccessibleValueInterface *>(this);
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface *>(this);
        return QAccessibleObject::interface_cast(type);
    }

    // ---- a slider's number ----
    QVariant currentValue() const override { return m_item ? m_item->property("value") : QVariant(); }
    void setCurrentValue(const QVariant &value) override
    {
        if (!m_item)
            return;
        const double from = m_item->property("from").toDouble();
        const double to = m_item->property("to").toDouble();
        m_item->setProperty("value", std::clamp(value.toDouble(), std::min(from, to), std::max(from, to)));
        // As a drag does: the owner writes the moved value into its model.
        QMetaObject::invokeMethod(m_item, "moved");
    }
    QVariant maximumValue() const override { return m_item ? m_item->property("to") : QVariant(); }
    QVariant minimumValue() const override { return m_item ? m_item->property("from") : QVariant(); }
    QVariant minimumStepSize() const override { return m_item ? m_item->property("stepSize") : QVariant(); }

    // ---- a button's press ----
    QStringList actionNames() const override
    {
        if (isSlider())
            return {increaseAction(), decreaseAction()};
        return {pressAction()};
    }
    void doAction(const QString &name) override
    {
        if (!m_item)
            return;
        if (name == pressAction() && m_item->inherits("QQuickAbstractButton"))
            QMetaObject::invokeMethod(m_item, "clicked");
        else if (name == increaseAction() && isSlider())
            setCurrentValue(currentValue().toDouble() + step());
        else if (name == decreaseAction() && isSlider())
            setCurrentValue(currentValue().toDouble() - step());
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QVariant attachedProperty(const char *name) const
    {
        QObject *a = m_item ? attached(m_item) : nullptr;
        return a ? a->property(name) : QVariant();
    }
    bool isSlider() const { return m_item && m_item->inherits("QQuickSlider"); }
    double step() const
    {
        const double s = m_item->property("stepSize").toDouble();
        return s > 0 ? s : std::abs(m_item->property("to").toDouble() - m_item->property("from").toDouble()) / 20;
    }

    QPointer<QQuickItem> m_item;
};

// Tells assistive technology that an item's text value changed.
class ValueNotifier : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

public slots:
    void valueChanged()
    {
        if (!QAccessible::isActive())
            return;
        QAccessibleValueChangeEvent event(parent(), parent()->property(kValueProperty));
        QAccessible::updateAccessibility(&event);
    }
};

} // namespace

QAccessibleInterface *accessibleValueFactory(const QString &, QObject *object)
{
    auto *item = qobject_cast<QQuickItem *>(object);
    if (!item || !hasTextValue(item))
        return nullptr;
    // A change of the text is a change of the value for assistive technology.
    if (!item->findChild<ValueNotifier *>(QString(), Qt::FindDirectChildrenOnly)) {
        auto *notifier = new ValueNotifier(item);
        const QMetaObject *meta = item->metaObject();
        const QMetaMethod notify = meta->property(meta->indexOfProperty(kValueProperty)).notifySignal();
        if (notify.isValid())
            QObject::connect(item, notify, notifier,
                             notifier->metaObject()->method(notifier->metaObject()->indexOfSlot("valueChanged()")));
    }
    return new ValuedControl(item);
}

AccessibleTexts *AccessibleTexts::create(QQmlEngine *, QJSEngine *)
{
    static AccessibleTexts *instance = new AccessibleTexts;
    QQmlEngine::setObjectOwnership(instance, QQmlEngine::CppOwnership);
    return instance;
}

void installAccessibleValues()
{
    static const bool installed = [] {
        QAccessible::installFactory(&accessibleValueFactory);
        return true;
    }();
    Q_UNUSED(installed)
}

} // namespace qv::design

#include "AccessibleValue.moc"
