#pragma once

#include "comfort/ComfortPreset.h"
#include "platform/HotKeys.h"
#include "runtime/Logging.h"

#include <QList>
#include <QMap>
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
    // system refuses is left out and the others still work; it is tried again whenever the
    // desktop says its keys changed (another keyboard map). The log says once what holds:
    // "Global shortcuts registered" while all six can be pressed, else which cannot and why.
    // What holds is published to HotKeyAvailability for the texts that show the keys.
    void registerHotKeys();
    // The registrations that succeeded, in table order.
    QList<HotKeys::HotKeyRef> hotKeyRefs() const;

    // The log's line for the keys that cannot be pressed (virtual key code and why), empty
    // when there are none: "2 of the 6 hot keys are not available: Super+Shift+B,
    // Super+Shift+N (the keyboard's map has no such key)".
    static QString unavailableSummary(const QMap<int, ResultCode> &unavailable);

    // Runs the action of one id; an unset callback or an unknown id does nothing.
    void dispatch(quint32 hotKeyID);

private:
    static QString hintFor(int keyCode);
    void handlePress(HotKeyID id);
    // Tries the refused keys again, reads what the registered ones can do, publishes it and
    // logs it when it changed.
    void refresh();

    Logger m_logger{"Shortcuts"};
    HotKeys *m_hotKeys = nullptr;
    std::array<HotKeys::HotKeyRef, 6> m_refs{};   // 0: refused
    std::array<ResultCode, 6> m_refusals{};       // why, while refused
    std::optional<QString> m_logged;              // the last line said about the keys
};

} // namespace qv
