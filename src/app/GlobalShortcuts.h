#pragma once

#include "comfort/ComfortPreset.h"
#include "platform/HotKeys.h"
#include "runtime/Logging.h"

#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <optional>

namespace qv {

// The six system-wide key combinations, Command-Shift with a key: take a break now (B),
// and toggle one of five comfort presets (N, R, P, D, 0). A press is dispatched on a
// later turn of the main loop, after the platform's handler has returned.
class GlobalShortcuts : public QObject {
    Q_OBJECT
public:
    // One row of the hot-key table.
    struct Binding {
        quint32 id;    // 1 to 6
        int keyCode;   // virtual key code (ANSI layout)
        std::optional<ComfortPreset> preset; // none: take a break
    };
    static constexpr quint32 kSignature = 0x5A4B5048; // 'ZKPH'
    static constexpr quint32 kModifiers = kHotKeyCommand | kHotKeyShift;
    static const std::array<Binding, 6> &bindings();

    GlobalShortcuts();
    static GlobalShortcuts &shared();

    // The hint shown beside a preset with a hot key, "⌘⇧" and the key ("⌘⇧R"; on the
    // host "Super+Shift+R"); empty for a preset without one.
    static QString hint(ComfortPreset preset);
    // The hint of the take-a-break key, "⌘⇧B".
    static QString breakHint();
    // The keys as the command line's help lists them, in the desktop's key names, one line
    // each after a heading: "  Super+Shift+B  Take a break now".
    static QString commandLineHelp();

    // Set before registerHotKeys(); may be replaced at any time.
    std::function<void()> onTakeBreak;
    std::function<void(ComfortPreset)> onTogglePreset;

    // Installs the press handler and registers the six keys, in table order. A key the
    // system refuses is logged and left out; the others still work.
    void registerHotKeys();
    // The registrations that succeeded, in order.
    const QList<HotKeys::HotKeyRef> &hotKeyRefs() const { return m_hotKeyRefs; }

    // Runs the action of one id; an unset callback or an unknown id does nothing.
    void dispatch(quint32 hotKeyID);

private:
    static QString hintFor(int keyCode);
    void handlePress(HotKeyID id);

    Logger m_logger{"Shortcuts"};
    QList<HotKeys::HotKeyRef> m_hotKeyRefs;
};

} // namespace qv
