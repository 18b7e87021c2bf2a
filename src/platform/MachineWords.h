#pragma once

#include <QString>

namespace qv {

// Texts written for the Mac that name what only a Mac has or does: its display
// properties, its laptops and panels, its resolution picker, its menu bar and its Finder.
// Another machine says them in its own words.
enum class MacText {
    // The display notes, by topic and field.
    ditheringSummary,
    ditheringHelps,
    ditheringNotice,
    pwmSummary,
    pwmHelps,
    uniformitySummary,
    uniformityHelps,
    uniformityNotice,
    strainWhy,
    strainHelps,
    scalingSummary,
    scalingHelps,
    fontSmoothingSummary,
    fontSmoothingHelps,
    // Where favourite profiles and the break countdown show.
    showInMenuBar,
    removeFromMenuBar,
    showTimerInMenuBar,
    menuBarReminderStyle,
    favoritesGuide,
    // The file manager.
    revealFeedbackHelp,
    // What the neutral preset puts back.
    neutralPresetDetail,
    // What an update check does: on a Mac the update framework installs signed builds.
    updatesSubtitle,
    updatesStatusDeveloperBuild,
    updateAvailableWithInstaller, // %1 the version, %2 the build

};

// How the texts speak of the machine the program runs on.
class MachineWords {
public:
    virtual ~MachineWords() = default;
    // The machine as a sentence names it, in lower case where the language allows: "Mac",
    // "computer".
    virtual QString machine() const = 0;
    // Whether hot keys are written in the desktop's key names joined by "+"
    // ("Super+Shift+D") rather than in the Mac's signs ("⌘⇧D").
    virtual bool keysByName() const = 0;
    // A text written for the Mac as this machine says it: onMac itself where it holds here.
    virtual QString say(MacText text, const QString &onMac) const = 0;
};

// The words of the installed platform; the Mac's when it names none.
const MachineWords &machineWords();

} // namespace qv
