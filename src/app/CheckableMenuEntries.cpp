#include "app/CheckableMenuEntries.h"

#include <QAccessible>
#include <QAction>
#include <QMenu>
#include <QPointer>

namespace qv {

namespace {

QMenu *menuOf(const QAction *action)
{
    for (QObject *holder : action->associatedObjects())
        if (auto *menu = qobject_cast<QMenu *>(holder))
            return menu;
    return nullptr;
}

class CheckableMenuEntry final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    CheckableMenuEntry(QMenu *menu, QAction *action) : m_menu(menu), m_action(action) {}

    bool isValid() const override { return m_menu && m_action; }
    QObject *object() const override { return m_action; }
    QWindow *window() const override { return m_menu ? m_menu->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_menu); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString &) override {}
    QAccessible::Role role() const override { return QAccessible::CheckBox; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid() || t != QAccessible::Name)
            return {};
        // The title without its mnemonic marks ("&&" is a shown "&").
        QString name = m_action->text();
        name.replace(QLatin1String("&&"), QStringLiteral("\x01"));
        name.remove(QLatin1Char('&'));
        return name.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    }

    QRect rect() const override
    {
        if (!isValid())
            return {};
        return m_menu->actionGeometry(m_action).translated(m_menu->mapToGlobal(QPoint(0, 0)));
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid())
            return s;
        s.invisible = !m_menu->isVisible() || !m_action->isVisible();
        s.disabled = !m_action->isEnabled();
        s.focusable = !s.disabled;
        s.focused = m_menu->activeAction() == m_action;
        s.checkable = true;
        s.checked = m_action->isChecked();
        return s;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }
    QStringList actionNames() const override
    {
        if (!isValid() || !m_action->isEnabled())
            return {};
        return {pressAction(), toggleAction()};
    }
    void doAction(const QString &name) override
    {
        if (actionNames().contains(name))
            m_action->trigger();
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<QMenu> m_menu;
    QPointer<QAction> m_action;
};

} // namespace

QAccessibleInterface *checkableMenuEntryFactory(const QString &, QObject *object)
{
    auto *action = qobject_cast<QAction *>(object);
    QMenu *menu = action && action->isCheckable() && !action->isSeparator() ? menuOf(action) : nullptr;
    return menu ? new CheckableMenuEntry(menu, action) : nullptr;
}

void installCheckableMenuEntries()
{
    static const bool installed = [] {
        QAccessible::installFactory(&checkableMenuEntryFactory);
        return true;
    }();
    Q_UNUSED(installed)
}

} // namespace qv
