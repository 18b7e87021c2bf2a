#pragma once

#include "platform/Types.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace qv {

struct DisplayMode {
    int width = 0;        // points
    int height = 0;       // points
    int pixelWidth = 0;
    int pixelHeight = 0;
    double refreshRate = 0;
    quint32 ioFlags = 0;
    bool operator==(const DisplayMode &) const = default;
};

// The highest refresh rate (Hz) taken as real; a higher one is a fault in what reported it.
inline constexpr double kMaxRefreshRate = 1000;

// Display-change summary flags handed to reconfiguration callbacks.
enum DisplayChangeFlag : quint32 {
    kDisplayBeginConfigurationFlag = 0x1,
    kDisplayMovedFlag = 0x2,
    kDisplaySetMainFlag = 0x4,
    kDisplaySetModeFlag = 0x8,
    kDisplayAddFlag = 0x10,
    kDisplayRemoveFlag = 0x20,
    kDisplayEnabledFlag = 0x100,
    kDisplayDisabledFlag = 0x200,
    kDisplayMirrorFlag = 0x400,
    kDisplayUnMirrorFlag = 0x800,
    kDisplayDesktopShapeChangedFlag = 0x1000,
};

// What became of a transfer formula sent to a display: the result and, where it is not
// ok, why.
struct DisplayResult {
    enum class Status {
        ok,          // set, or on its way to the screen
        noDisplay,   // no such display (any more)
        noRamp,      // the display has no ramp that can be set
        refused,     // the system said no, or did not answer
        unavailable, // the system offers no way to set formulas now
    };
    Status status = Status::ok;
    QString reason; // a sentence for the log; empty when ok
    // The Core Graphics error code behind it, given by the simulated machine only: its log
    // speaks of the Mac's own calls.
    std::optional<ResultCode> coreGraphicsCode;

    bool ok() const { return status == Status::ok; }
};

// The display services: the screens, their modes and identities, and their transfer formulas.
class Displays {
public:
    virtual ~Displays() = default;

    virtual QList<DisplayId> activeDisplays() = 0;
    virtual DisplayId mainDisplay() = 0;
    virtual bool isBuiltin(DisplayId display) = 0;
    virtual bool isInMirrorSet(DisplayId display) = 0;
    virtual quint32 vendorNumber(DisplayId display) = 0;
    virtual quint32 modelNumber(DisplayId display) = 0;
    virtual quint32 serialNumber(DisplayId display) = 0;
    virtual int pixelsWide(DisplayId display) = 0;
    virtual int pixelsHigh(DisplayId display) = 0;
    virtual std::optional<DisplayMode> currentMode(DisplayId display) = 0;
    virtual QList<DisplayMode> allModes(DisplayId display, bool includeDuplicateLowResolution) = 0;

    // Sets a display's transfer formula. An implementation that hears the system's answer
    // later logs what goes wrong itself, once per display and cause.
    virtual DisplayResult setTransferFormula(DisplayId display, const TransferFormula &formula) = 0;
    // Returns every display to the system's colour settings.
    virtual void restoreColorSyncSettings() = 0;
    // Whether transfer formulas reach the screens the user sees; a desktop may offer no
    // way to set them, and then only the overlays can soften the picture.
    virtual bool transferFormulasReachScreens() { return true; }
    // Whether the display's screen takes the formulas set for it: not where formulas reach
    // no screen, nor while the display's ramp is refused (the last formula set for it, or
    // the compositor's answer to it, was a refusal) or it has none.
    virtual bool takesTransferFormula(DisplayId) { return transferFormulasReachScreens(); }
    // Why formulas that could reach the screens are not applied now, as a sentence for the
    // page; empty when nothing holds them back.
    virtual QString transferFormulaNote() { return {}; }
    // The id an active display had in earlier versions, when that differs from its id now
    // (settings stored under it are carried over); nothing where ids never changed.
    virtual std::optional<DisplayId> formerDisplayId(DisplayId) { return std::nullopt; }
    // Where two connected monitors cannot be told apart but by their ports (twins), the id
    // the display's monitor has when it is the only one of its kind; earlier versions gave
    // it to the first twin. Nothing for a display that has that id now.
    virtual std::optional<DisplayId> loneDisplayId(DisplayId) { return std::nullopt; }
    // The id the display's monitor had on its port before a twin of it arrived or left
    // while we run (its id took the port's name, or lost it); nothing where its id has not
    // changed so.
    virtual std::optional<DisplayId> previousDisplayId(DisplayId) { return std::nullopt; }
    // The id the display's monitor has on its port beside a twin of it; nothing for a
    // display that is a twin now, or whose monitor cannot have a twin (no identity).
    virtual std::optional<DisplayId> twinDisplayId(DisplayId) { return std::nullopt; }
    // Gives one display its neutral transfer while the others keep theirs: the identity
    // formula, or, where the system keeps a colour setting of its own for the display,
    // that setting.
    virtual DisplayResult resetTransferFormula(DisplayId display)
    {
        return setTransferFormula(display, TransferFormula::identity());
    }

    // Reconfiguration callbacks: called with a display and its change flags, possibly
    // from another thread. Returns a token for removal.
    using ReconfigurationCallback = std::function<void(DisplayId, quint32 flags)>;
    virtual int registerReconfigurationCallback(ReconfigurationCallback callback) = 0;
    virtual void removeReconfigurationCallback(int token) = 0;
};

} // namespace qv
