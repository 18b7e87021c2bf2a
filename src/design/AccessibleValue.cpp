#include "design/AccessibleValue.h"

#include "design/KeyboardControl.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QAccessibleObject>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QWindow>
#include <QPointer>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <algorithm>
#include <cmath>
#include <utility>

namespace qv::design {

namespace {

const char *const kValueProperty = "accessibleValue";
const char *const kCheckedProperty = "accessibleChecked";
const char *const kKeyStepProperty = "keyStep";
const char *const kExpandedProperty = "accessibleExpanded";
const char *const kRoleProperty = "accessibleRole";
const char *const kCheckableProperty = "accessibleCheckable";

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

// A role of its own that Qt Quick's controls do not write over (they give every button
// theirs as assistive technology starts).
bool hasOwnRole(const QObject *object)
{
    return object->metaObject()->indexOfProperty(kRoleProperty) >= 0;
}

// Texts read one after the other: a full stop between two, unless the first has one.
QString sentences(const QStringList &parts)
{
    QString joined;
    for (const QString &part : parts) {
        if (!joined.isEmpty())
            joined += QString::fromLatin1(QStringView(u".!?:").contains(joined.back()) ? " " : ". ");
        joined += part;
    }
    return joined;
}

// The texts shown inside an item, in the order of the item tree.
void collectShownTexts(const QQuickItem *item, QStringList &texts)
{
    if (!item->isVisible() || item->opacity() <= 0)
        return;
    if (item->inherits("QQuickText") || item->inherits("qv::TabularText")) {
        // Not a picture (a symbol) nor a text that repeats the control's name.
        const QObject *a = attached(item);
        const QString text = (a ? a->property("name") : item->property("text")).toString().trimmed();
        if (!text.isEmpty() && !(a && a->property("ignored").toBool()))
            texts << text;
    }
    for (const QQuickItem *child : item->childItems())
        collectShownTexts(child, texts);
}

QStringList shownTexts(const QQuickItem *item)
{
    QStringList texts;
    for (const QQuickItem *child : item->childItems())
        collectShownTexts(child, texts);
    return texts;
}

bool isScrollBar(const QObject *object)
{
    return object && object->inherits("QQuickScrollBar");
}

// How far along a scroll bar is, as its properties say.
double scrolledPercent(const QObject *bar)
{
    return scrollBarPercent(bar->property("position").toDouble(), bar->property("size").toDouble());
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
        case QAccessible::Name: {
            const QString name = attachedProperty("name").toString();
            // The AT-SPI bridge has no state for the way a scroll bar lies: its name says it.
            if (name.isEmpty() && isScrollBar(m_item))
                return m_item->property("orientation").toInt() == Qt::Horizontal ? QStringLiteral("Horizontal")
                                                                                  : QStringLiteral("Vertical");
            return name;
        }
        case QAccessible::Description: {
            // The AT-SPI bridge carries a slider's value as a number only, and no other
            // value at all: the description begins with the value as the page shows it
            // ("65 percent, Strong", "Neutral", "Collapsed"), before any description of
            // its own. A switch's checked state says its value.
            QStringList said;
            if (!isSwitch())
                said << text(QAccessible::Value);
            said << attachedProperty("description").toString();
            // The texts shown inside the control that its name and value do not say: a
            // leaf has no children to read them from.
            const QString heard = text(QAccessible::Name) + u'\n' + text(QAccessible::Value) + u'\n' + said.join(u'\n');
            for (const QString &shown : shownTexts(m_item))
                if (!heard.contains(shown) && !said.contains(shown))
                    said << shown;
            said.removeAll(QString());
            return sentences(said);
        }
        case QAccessible::Value:
            if (isScrollBar(m_item))
                return AccessibleTexts::spoken(QString::number(scrolledPercent(m_item)) + u'%');
            return AccessibleTexts::spoken(m_item->property(kValueProperty).toString());
        default:
            return {};
        }
    }

    QAccessible::Role role() const override
    {
        if (m_item && hasOwnRole(m_item))
            return QAccessible::Role(m_item->property(kRoleProperty).toInt());
        // A switch: the buttons of Qt Quick put their own role over the one given.
        if (isSwitch())
            return QAccessible::CheckBox;
        const int role = attachedProperty("role").toInt();
        if (role != QAccessible::NoRole)
            return QAccessible::Role(role);
        if (isSlider())
            return QAccessible::Slider;
        if (isScrollBar(m_item))
            return QAccessible::ScrollBar;
        return m_item && m_item->inherits("QQuickAbstractButton") ? QAccessible::Button : QAccessible::Client;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!m_item)
            return s;
        s.invisible = !m_item->isVisible();
        // A control that cannot be used says so, and Tab passes it by.
        s.disabled = !m_item->isEnabled();
        s.focusable = !s.disabled && (m_item->activeFocusOnTab() ||
                                      (m_item->inherits("QQuickControl") && !isScrollBar(m_item)));
        s.focused = m_item->hasActiveFocus();
        // A switch's state is its own property: the buttons of Qt Quick write their own
        // (never checked) state over the attached one whenever the tree is built again.
        const bool ownChecked = hasProperty(m_item, kCheckedProperty);
        s.checkable = hasProperty(m_item, kCheckableProperty) ? m_item->property(kCheckableProperty).toBool()
                                                              : ownChecked || attachedProperty("checkable").toBool();
        s.checked = ownChecked ? m_item->property(kCheckedProperty).toBool() : attachedProperty("checked").toBool();
        s.selectable = attachedProperty("selectable").toBool();
        s.selected = attachedProperty("selected").toBool();
        s.pressed = m_item->property("pressed").toBool();
        // A block that opens and closes says which it is.
        if (hasProperty(m_item, kExpandedProperty)) {
            s.expandable = true;
            s.expanded = m_item->property(kExpandedProperty).toBool();
            s.collapsed = !s.expanded;
        }
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
        if (type == QAccessible::ValueInterface && (isSlider() || isScrollBar(m_item)))
            return static_cast<QAccessibleValueInterface *>(this);
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface *>(this);
        return QAccessibleObject::interface_cast(type);
    }

    // ---- a slider's number, counted in the steps its row shows (84 for "84%"); a scroll
    // bar's, the percentage of the way along (0 of 0 while nothing scrolls) ----
    QVariant currentValue() const override
    {
        if (isScrollBar(m_item))
            return scrolledPercent(m_item);
        return m_item ? QVariant(shownSteps(m_item->property("value").toDouble(), shownStep())) : QVariant();
    }
    void setCurrentValue(const QVariant &value) override
    {
        if (isScrollBar(m_item)) {
            const double size = std::clamp(m_item->property("size").toDouble(), 0.0, 1.0);
            const double percent = value.toDouble();
            if (std::isfinite(percent))
                QMetaObject::invokeMethod(m_item, "setPosition", Q_ARG(qreal, std::clamp(percent, 0.0, 100.0) / 100 * (1 - size)));
            return;
        }
        if (m_item)
            moveTo(value.toDouble() * shownStep());
    }
    QVariant maximumValue() const override
    {
        if (isScrollBar(m_item))
            return m_item->property("size").toDouble() < 1 ? 100.0 : 0.0;
        return m_item ? QVariant(shownSteps(m_item->property("to").toDouble(), shownStep())) : QVariant();
    }
    QVariant minimumValue() const override
    {
        if (isScrollBar(m_item))
            return 0.0;
        return m_item ? QVariant(shownSteps(m_item->property("from").toDouble(), shownStep())) : QVariant();
    }
    QVariant minimumStepSize() const override { return m_item ? QVariant(1.0) : QVariant(); }

    // ---- a button's press ----
    QStringList actionNames() const override
    {
        if (isSlider() || isScrollBar(m_item))
            return {increaseAction(), decreaseAction()};
        if (m_item && m_item->inherits("QQuickAbstractButton"))
            return {pressAction()};
        return {};
    }
    void doAction(const QString &name) override
    {
        // A disabled control does nothing, as it does for a click.
        if (!m_item || !m_item->isEnabled())
            return;
        if (name == pressAction() && m_item->inherits("QQuickAbstractButton"))
            QMetaObject::invokeMethod(m_item, "clicked");
        else if (isScrollBar(m_item) && (name == increaseAction() || name == decreaseAction()))
            QMetaObject::invokeMethod(m_item, name == increaseAction() ? "increase" : "decrease");
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
    bool isSwitch() const { return m_item && hasProperty(m_item, kCheckedProperty) && !hasOwnRole(m_item); }
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

// The application as assistive technology sees it: its windows and, while one is open,
// its pop-up menus (the gear menu), which Qt leaves out of the application's children.
// Reached only through focus events, a menu would have no place in the tree.
class ApplicationWithMenus : public QAccessibleApplication {
public:
    int childCount() const override { return QAccessibleApplication::childCount() + int(menus().size()); }
    QAccessibleInterface *child(int index) const override
    {
        const int windows = QAccessibleApplication::childCount();
        if (index < windows)
            return QAccessibleApplication::child(index);
        const QList<QAccessibleInterface *> open = menus();
        return index - windows < open.size() ? open.at(index - windows) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const int index = QAccessibleApplication::indexOfChild(child);
        if (index >= 0)
            return index;
        const int menu = int(menus().indexOf(const_cast<QAccessibleInterface *>(child)));
        return menu < 0 ? -1 : QAccessibleApplication::childCount() + menu;
    }

private:
    static QList<QAccessibleInterface *> menus()
    {
        QList<QAccessibleInterface *> open;
        for (QWindow *window : QGuiApplication::topLevelWindows())
            if (window->type() == Qt::Popup && window->isVisible())
                if (QAccessibleInterface *root = window->accessibleRoot())
                    open << root;
        return open;
    }
};

// Whether an item is a node of the tree as Qt Quick counts it: it has the Accessible
// attached object and is not ignored.
bool isNode(const QQuickItem *item)
{
    const QObject *a = attached(item);
    return a && !a->property("ignored").toBool();
}

// The nodes under an item: its children that are nodes, and those under the others.
QList<QQuickItem *> nodesUnder(const QQuickItem *item)
{
    QList<QQuickItem *> nodes;
    for (QQuickItem *child : item->childItems()) {
        if (isNode(child))
            nodes << child;
        else
            nodes << nodesUnder(child);
    }
    return nodes;
}

QList<QQuickItem *> nodesOf(QQuickItem *item)
{
    return isNode(item) ? QList<QQuickItem *>{item} : nodesUnder(item);
}

// A Qt Quick window as assistive technology sees it, as Qt describes it, but with the top of
// its tree from windowTreeTop(): while a sheet is open, the sheet alone.
class WindowTree : public QAccessibleObject {
public:
    explicit WindowTree(QQuickWindow *window) : QAccessibleObject(window), m_window(window) {}

    QWindow *window() const override { return m_window; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(qApp); }
    int childCount() const override { return int(top().size()); }
    QAccessibleInterface *child(int index) const override
    {
        const QList<QQuickItem *> nodes = top();
        return index >= 0 && index < nodes.size() ? QAccessible::queryAccessibleInterface(nodes.at(index)) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child ? int(top().indexOf(qobject_cast<QQuickItem *>(child->object()))) : -1;
    }
    QAccessibleInterface *focusChild() const override
    {
        QObject *focused = m_window ? m_window->focusObject() : nullptr;
        if (!focused)
            return nullptr;
        QAccessibleInterface *node = QAccessible::queryAccessibleInterface(focused);
        if (!node || node == this || !node->focusChild())
            return node;
        return node->focusChild();
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        for (int i = childCount() - 1; i >= 0; --i) {
            QAccessibleInterface *node = child(i);
            if (!node || node->state().invisible)
                continue;
            if (QAccessibleInterface *inner = node->childAt(x, y))
                return inner;
            if (node->rect().contains(x, y))
                return node;
        }
        return nullptr;
    }
    QAccessible::Role role() const override { return QAccessible::Window; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.active = m_window && m_window == QGuiApplication::focusWindow();
        s.invisible = !m_window || !m_window->isVisible();
        return s;
    }
    QRect rect() const override { return m_window ? m_window->geometry() : QRect(); }
    QString text(QAccessible::Text t) const override
    {
        return m_window && t == QAccessible::Name ? m_window->title() : QString();
    }

private:
    QList<QQuickItem *> top() const { return m_window ? windowTreeTop(m_window) : QList<QQuickItem *>(); }

    QPointer<QQuickWindow> m_window;
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
        // The description says the value as text (the AT-SPI bridge carries a number).
        QAccessibleEvent described(parent(), QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&described);
    }
    // A scroll bar's value changes with each whole percent it moves.
    void scrolled()
    {
        const double percent = scrolledPercent(parent());
        if (percent == std::exchange(m_percent, percent) || !QAccessible::isActive())
            return;
        QAccessibleValueChangeEvent event(parent(), percent);
        QAccessible::updateAccessibility(&event);
        QAccessibleEvent described(parent(), QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&described);
    }
    void enabledChanged()
    {
        if (!QAccessible::isActive())
            return;
        QAccessible::State changed;
        changed.disabled = true;
        changed.focusable = true;
        QAccessibleStateChangeEvent event(parent(), changed);
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

private:
    double m_percent = -1;
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

QList<QQuickItem *> windowTreeTop(QQuickWindow *window)
{
    QQuickItem *content = window ? window->contentItem() : nullptr;
    if (!content)
        return {};
    QQuickItem *sheet = SheetFocus::openSheet(window);
    if (!sheet || !content->isAncestorOf(sheet))
        return nodesUnder(content);
    // The outermost item round the sheet that holds nothing else: a pop-up's own item, not
    // just its content; never the page the sheet lies in.
    QList<QQuickItem *> nodes = nodesOf(sheet);
    for (QQuickItem *up = sheet->parentItem(); up && up != content && nodesUnder(up) == nodes; up = up->parentItem())
        nodes = nodesOf(up);
    return nodes;
}

void changeWindowTree(QQuickWindow *window, const std::function<void()> &change)
{
    if (!window || !QAccessible::isActive()) {
        change();
        return;
    }
    const QList<QQuickItem *> before = windowTreeTop(window);
    change();
    const QList<QQuickItem *> after = windowTreeTop(window);
    // For the bridge, a node that leaves its parent's children; then those that come.
    for (QQuickItem *node : before) {
        if (!after.contains(node)) {
            QAccessibleEvent left(node, QAccessible::ObjectDestroyed);
            QAccessible::updateAccessibility(&left);
        }
    }
    for (QQuickItem *node : after) {
        if (!before.contains(node)) {
            QAccessibleEvent came(node, QAccessible::ObjectCreated);
            QAccessible::updateAccessibility(&came);
        }
    }
}

void announceWindowTree(QQuickWindow *window)
{
    if (!window || !QAccessible::isActive())
        return;
    for (QQuickItem *node : windowTreeTop(window)) {
        QAccessibleEvent came(node, QAccessible::ObjectCreated);
        QAccessible::updateAccessibility(&came);
    }
}

QAccessibleInterface *accessibleValueFactory(const QString &, QObject *object)
{
    if (object && object == QCoreApplication::instance())
        return new ApplicationWithMenus;
    if (auto *window = qobject_cast<QQuickWindow *>(object))
        return new WindowTree(window);
    auto *item = qobject_cast<QQuickItem *>(object);
    if (!item || !(hasTextValue(item) || hasOwnRole(item) || isScrollBar(item)))
        return nullptr;
    // A change of the text is a change of the value for assistive technology.
    if (!item->findChild<ValueNotifier *>(QString(), Qt::FindDirectChildrenOnly)) {
        auto *notifier = new ValueNotifier(item);
        connectNotify(item, kValueProperty, notifier, "valueChanged()");
        connectNotify(item, kCheckedProperty, notifier, "checkedChanged()");
        if (isScrollBar(item)) {
            connectNotify(item, "position", notifier, "scrolled()");
            connectNotify(item, "size", notifier, "scrolled()");
        }
        QObject::connect(item, &QQuickItem::enabledChanged, notifier, &ValueNotifier::enabledChanged);
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

double scrollBarPercent(double position, double size)
{
    if (!std::isfinite(position) || !std::isfinite(size) || size >= 1)
        return 0;
    // The thumb at the end of its track is at the end: 100, whatever its length.
    return std::round(std::clamp(position / (1 - std::max(size, 0.0)), 0.0, 1.0) * 100);
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

QString AccessibleTexts::heard(const QString &text, int textFormat)
{
    // Text.PlainText is 0, Text.MarkdownText 3; Text.AutoText (2) is rich where it looks so.
    if (textFormat == 0 || textFormat == 3 || (textFormat == 2 && !Qt::mightBeRichText(text)))
        return text;
    return QTextDocumentFragment::fromHtml(text).toPlainText();
}

namespace {

// Whether assistive technology reads an item as a node of its own.
bool inTree(const QQuickItem *item)
{
    if (item->inherits("QQuickControl") || hasTextValue(item) || hasOwnRole(item))
        return true;
    const QObject *a = attached(item);
    return a && !a->property("ignored").toBool();
}

} // namespace

bool AccessibleTexts::repeatsOwner(QQuickItem *text, const QString &shown)
{
    const QString wanted = shown.trimmed();
    if (!text || wanted.isEmpty())
        return false;
    for (QQuickItem *up = text->parentItem(); up; up = up->parentItem()) {
        if (!inTree(up))
            continue;
        const QObject *a = attached(up);
        const QStringList said{a ? a->property("name").toString() : QString(),
                               a ? a->property("description").toString() : QString(),
                               up->property("text").toString(), up->property(kValueProperty).toString()};
        for (const QString &one : said)
            if (one.contains(wanted))
                return true;
        return false;
    }
    return false;
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
