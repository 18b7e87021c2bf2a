#pragma once

#include <QString>

namespace qv {

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
};

// The words of the installed platform; the Mac's when it names none.
const MachineWords &machineWords();

} // namespace qv
