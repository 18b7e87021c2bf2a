#include "app/GlobalShortcuts.h"

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
    return hotKeyText(kModifiers, characterForKeyCode(keyCode));
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

void GlobalShortcuts::registerHotKeys()
{
    HotKeys *hotKeys = platform().hotKeys;
    if (!hotKeys) {
        m_logger.error("Global shortcuts are not available");
        return;
    }
    // A failed installation is not reported: the keys are then registered but do nothing.
    QPointer<GlobalShortcuts> self(this);
    hotKeys->installPressHandler([self](HotKeyID id) {
        if (self)
            self->handlePress(id);
    });
    for (const Binding &binding : bindings()) {
        HotKeys::HotKeyRef ref = 0;
        const ResultCode status =
            hotKeys->registerHotKey(binding.keyCode, kModifiers, HotKeyID{kSignature, binding.id}, &ref);
        if (status == 0)
            m_hotKeyRefs << ref;
        else
            m_logger.error("Failed to register hotkey %u: %d", binding.id, status);
    }
    m_logger.info("Global shortcuts registered");
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
