#include "design/AccessibleValue.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QAccessibleObject>
#include <QPointer>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace qv::design {

namespace {

const char *const kValueProperty = "accessibleValue";
const char *const kCheckedProperty = "accessibleChecked";
const char *const kKeyStepProperty = "keyStep";

// The Accessible attached object of an item: a child QObject of the item itself.
QObject *attached(const QObject *item)
{
    for (QObject *child : item->children())
        if (qstrcmp(child->metaObject()->className(), "QQuickAccessibleAttached") == 0)
            return child;
    return nullptr;
}

bool hasProperty(const QObject *object, const char *name)
{
    return object->metaObject()->indexOfProperty(name) >= 0;
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
            return AccessibleTexts::spoken(m_item->property(kValueProperty).toString());
        default:
            return {};
        }
    }

    QAccessible::Role role() const override
    {
        // A switch: the buttons of Qt Quick put their own role over the one given.
        if (isSwitch())
            return QAccessible::CheckBox;
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
        // A switch's state is its own property: the buttons of Qt Quick write their own
        // (never checked) state over the attached one whenever the tree is built again.
        s.checkable = isSwitch() || attachedProperty("checkable").toBool();
        s.checked = isSwitch() ? m_item->property(kCheckedProperty).toBool() : attachedProperty("checked").toBool();
        s.selectable = attachedProperty("selectable").toBool();
        s.selected = attachedProperty("selected").toBool();
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

    // ---- a slider's number, counted in the steps its row shows (84 for "84%") ----
    QVariant currentValue() const override
    {
        return m_item ? QVariant(shownSteps(m_item->property("value").toDouble(), shownStep())) : QVariant();
    }
    void setCurrentValue(const QVariant &value) override
    {
        if (m_item)
            moveTo(value.toDouble() * shownStep());
    }
    QVariant maximumValue() const override
    {
        return m_item ? QVariant(shownSteps(m_item->property("to").toDouble(), shownStep())) : QVariant();
    }
    QVariant minimumValue() const override
    {
        return m_item ? QVariant(shownSteps(m_item->property("from").toDouble(), shownStep())) : QVariant();
    }
    QVariant minimumStepSize() const override { return m_item ? QVariant(1.0) : QVariant(); }

    // ---- a button's press ----
    QStringList actionNames() const override
    {
        if (isSlider())
            return {increaseAction(), decreaseAction()};
        if (m_item && m_item->inherits("QQuickAbstractButton"))
            return {pressAction()};
        return {};
    }
    void doAction(const QString &name) override
    {
        if (!m_item)
            return;
        if (name == pressAction() && m_item->inherits("QQuickAbstractButton"))
            QMetaObject::invokeMethod(m_item, "clicked");
        else if (name == increaseAction() && isSlider())
            moveTo(m_item->property("value").toDouble() + step());
        else if (name == decreaseAction() && isSlider())
            moveTo(m_item->property("value").toDouble() - step());
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QVariant attachedProperty(const char *name) const
    {
        QObject *a = m_item ? attached(m_item) : nullptr;
        return a ? a->property(name) : QVariant();
    }
    bool isSlider() const { return m_item && m_item->inherits("QQuickSlider"); }
    bool isSwitch() const { return m_item && hasProperty(m_item, kCheckedProperty); }
    // One step of the value the row shows (its key step), else a hundredth of the range.
    double shownStep() const
    {
        const double keyStep = m_item->property(kKeyStepProperty).toDouble();
        if (keyStep > 0 && std::isfinite(keyStep))
            return keyStep;
        const double range = std::abs(m_item->property("to").toDouble() - m_item->property("from").toDouble());
        return range > 0 ? range / 100 : 1.0;
    }
    void moveTo(double value)
    {
        const double from = m_item->property("from").toDouble();
        const double to = m_item->property("to").toDouble();
        if (!std::isfinite(value))
            return;
        m_item->setProperty("value", std::clamp(value, std::min(from, to), std::max(from, to)));
        // As a drag does: the owner writes the moved value into its model.
        QMetaObject::invokeMethod(m_item, "moved");
    }
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
    void checkedChanged()
    {
        if (!QAccessible::isActive())
            return;
        QAccessible::State changed;
        changed.checked = true;
        QAccessibleStateChangeEvent event(parent(), changed);
        QAccessible::updateAccessibility(&event);
    }
};

void connectNotify(QQuickItem *item, const char *property, QObject *receiver, const char *slot)
{
    const QMetaObject *meta = item->metaObject();
    const int index = meta->indexOfProperty(property);
    if (index < 0)
        return;
    const QMetaMethod notify = meta->property(index).notifySignal();
    if (notify.isValid())
        QObject::connect(item, notify, receiver, receiver->metaObject()->method(receiver->metaObject()->indexOfSlot(slot)));
}

} // namespace

QAccessibleInterface *accessibleValueFactory(const QString &, QObject *object)
{
    auto *item = qobject_cast<QQuickItem *>(object);
    if (!item || !hasTextValue(item))
        return nullptr;
    // A change of the text is a change of the value for assistive technology.
    if (!item->findChild<ValueNotifier *>(QString(), Qt::FindDirectChildrenOnly)) {
        auto *notifier = new ValueNotifier(item);
        connectNotify(item, kValueProperty, notifier, "valueChanged()");
        connectNotify(item, kCheckedProperty, notifier, "checkedChanged()");
    }
    return new ValuedControl(item);
}

AccessibleTexts *AccessibleTexts::create(QQmlEngine *, QJSEngine *)
{
    static AccessibleTexts *instance = new AccessibleTexts;
    QQmlEngine::setObjectOwnership(instance, QQmlEngine::CppOwnership);
    return instance;
}

double shownSteps(double value, double step)
{
    if (!(step > 0) || !std::isfinite(value))
        return 0;
    // As the rows show a value: whole steps, cut, not rounded ("84%" for 0.848).
    const double steps = value / step;
    return std::trunc(steps + (steps < 0 ? -1e-6 : 1e-6));
}

QString AccessibleTexts::spoken(const QString &text)
{
    static const QRegularExpression percent(QStringLiteral("^(-?[0-9]+(?:[.,][0-9]+)?)\\s*%$"));
    const QRegularExpressionMatch match = percent.match(text.trimmed());
    return match.hasMatch() ? match.captured(1) + QStringLiteral(" percent") : text;
}

QString AccessibleTexts::figure(const QString &title, const QString &value)
{
    if (value.trimmed().isEmpty())
        return title;
    if (title.trimmed().isEmpty())
        return spoken(value);
    return title + QStringLiteral(": ") + spoken(value);
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
