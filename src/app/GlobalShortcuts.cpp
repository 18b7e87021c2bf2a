#include "app/GlobalShortcuts.h"

#include "platform/HotKeyAvailability.h"
#include "platform/KeyCodes.h"
#include "platform/Platform.h"
#include "runtime/Scheduler.h"
#include "runtime/Shared.h"

#include <QPointer>

namespace qv {

const std::array<GlobalShortcuts::Binding, 6> &GlobalShortcuts::bindings()
{
    static const std::array<Binding, 6> table{{
        {1, 11, std::nullopt},
        {2, 45, ComfortPreset::evening},
        {3, 15, ComfortPreset::reading},
        {4, 35, ComfortPreset::pwmSafe},
        {5, 2, ComfortPreset::focus},
        {6, 29, ComfortPreset::neutral},
    }};
    return table;
}

GlobalShortcuts::GlobalShortcuts() = default;

GlobalShortcuts &GlobalShortcuts::shared()
{
    return sharedInstance<GlobalShortcuts>();
}

QString GlobalShortcuts::hintFor(int keyCode)
{
    return HotKeyAvailability::shared().hint(kModifiers, keyCode);
}

QString GlobalShortcuts::hint(ComfortPreset preset)
{
    for (const Binding &binding : bindings())
        if (binding.preset == preset)
            return hintFor(binding.keyCode);
    return {};
}

QString GlobalShortcuts::breakHint()
{
    return hintFor(bindings().front().keyCode);
}

QString GlobalShortcuts::commandLineHelp()
{
    QString text = QStringLiteral("\nHot keys (while the application runs):\n");
    for (const Binding &binding : bindings()) {
        const QString keys = hotKeyText(kModifiers, characterForKeyCode(binding.keyCode), true);
        QString action = QStringLiteral("Take a break now");
        if (binding.preset == ComfortPreset::neutral)
            action = QStringLiteral("Back to Neutral");
        else if (binding.preset)
            action = QStringLiteral("%1 profile (again: back to Neutral)").arg(defaultTitle(*binding.preset));
        text += QStringLiteral("  %1  %2\n").arg(keys, -15).arg(action);
    }
    return text;
}

QList<HotKeys::HotKeyRef> GlobalShortcuts::hotKeyRefs() const
{
    QList<HotKeys::HotKeyRef> refs;
    for (HotKeys::HotKeyRef ref : m_refs)
        if (ref)
            refs << ref;
    return refs;
}

void GlobalShortcuts::registerHotKeys()
{
    HotKeys *hotKeys = platform().hotKeys;
    if (!hotKeys) {
        m_logger.error("Global shortcuts are not available");
        QMap<int, ResultCode> all;
        for (const Binding &binding : bindings())
            all.insert(binding.keyCode, kHotKeyNoWay);
        HotKeyAvailability::shared().publish(HotKeyWay::none, all);
        return;
    }
    m_hotKeys = hotKeys;
    // A failed installation is not reported: the keys are then registered but do nothing.
    QPointer<GlobalShortcuts> self(this);
    hotKeys->installPressHandler([self](HotKeyID id) {
        if (self)
            self->handlePress(id);
    });
    hotKeys->setChangeHandler([self] {
        if (self)
            self->refresh();
    });
    m_refs.fill(0);
    m_refusals.fill(kHotKeyPending);
    refresh();
}

void GlobalShortcuts::refresh()
{
    HotKeys *hotKeys = m_hotKeys;
    if (!hotKeys || platform().hotKeys != hotKeys)
        return;
    QMap<int, ResultCode> unavailable;
    for (size_t i = 0; i < bindings().size(); ++i) {
        const Binding &binding = bindings()[i];
        if (!m_refs[i]) {
            HotKeys::HotKeyRef ref = 0;
            m_refusals[i] = hotKeys->registerHotKey(binding.keyCode, kModifiers, HotKeyID{kSignature, binding.id}, &ref);
            if (m_refusals[i] == 0)
                m_refs[i] = ref;
        }
        const ResultCode status = m_refs[i] ? hotKeys->keyStatus(m_refs[i]) : m_refusals[i];
        if (status != 0 && status != kHotKeyPending)
            unavailable.insert(binding.keyCode, status);
    }
    const HotKeyWay way = hotKeys->way();
    HotKeyAvailability::shared().publish(way, unavailable);
    // Nothing is said while the desktop is still being asked how its hot keys work.
    if (way == HotKeyWay::pending)
        return;
    const QString line = unavailableSummary(unavailable);
    if (m_logged == line)
        return;
    m_logged = line;
    if (line.isEmpty())
        m_logger.info("Global shortcuts registered");
    else
        m_logger.error("%s", qUtf8Printable(line));
}

QString GlobalShortcuts::unavailableSummary(const QMap<int, ResultCode> &unavailable)
{
    if (unavailable.isEmpty())
        return {};
    // The keys grouped by why, in the table's order.
    QList<ResultCode> reasons;
    QMap<ResultCode, QStringList> keys;
    for (const Binding &binding : bindings()) {
        const auto it = unavailable.constFind(binding.keyCode);
        if (it == unavailable.constEnd())
            continue;
        if (!keys.contains(*it))
            reasons << *it;
        keys[*it] << hotKeyText(kModifiers, characterForKeyCode(binding.keyCode));
    }
    QStringList parts;
    for (ResultCode reason : reasons) {
        QString why;
        switch (reason) {
        case kHotKeyNoSuchKey: why = QStringLiteral("the keyboard's map has no such key"); break;
        case kHotKeyExists: why = QStringLiteral("another program holds the combination"); break;
        case kHotKeyNoWay: why = QStringLiteral("this desktop passes no hot keys to applications"); break;
        case kHotKeyInvalid: why = QStringLiteral("the key or its modifiers cannot be used here"); break;
        default: why = QStringLiteral("refused with code %1").arg(reason); break;
        }
        parts << QStringLiteral("%1 (%2)").arg(keys.value(reason).join(QStringLiteral(", ")), why);
    }
    return QStringLiteral("%1 of the %2 hot keys are not available: %3")
        .arg(unavailable.size())
        .arg(bindings().size())
        .arg(parts.join(QStringLiteral("; ")));
}

void GlobalShortcuts::handlePress(HotKeyID id)
{
    // The action runs after the platform's handler has returned; the signature is not
    // compared.
    const quint32 hotKeyID = id.id;
    scheduler().post(this, [this, hotKeyID] { dispatch(hotKeyID); });
}

void GlobalShortcuts::dispatch(quint32 hotKeyID)
{
    for (const Binding &binding : bindings()) {
        if (binding.id != hotKeyID)
            continue;
        if (!binding.preset) {
            if (onTakeBreak)
                onTakeBreak();
        } else if (onTogglePreset) {
            onTogglePreset(*binding.preset);
        }
        return;
    }
}

} // namespace qv
