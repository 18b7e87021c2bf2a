import QtQuick
import Quellvista.Design

// The keyboard focus of a page's tour: while the tour is open, the focus is in the current
// step's pop-up (on its "Next" button when it opens or moves on), Tab and Shift+Tab go round
// inside it, Esc closes the tour, and the focus then goes back to where it was (the guide
// button). `frames` are the page's GuidedHighlight blocks.
SheetFocus {
    id: tourFocus

    required property GuidedTour tour
    property list<Item> frames

    scope: {
        for (let i = 0; i < frames.length; ++i)
            if (frames[i].current)
                return frames[i].popup
        return null
    }
    initialItem: scope ? scope.nextButton : null
    active: tour.isOpen
    // The pop-up lies beside the block it explains: the page stays readable.
    coversPage: false
    onEscapePressed: tour.finish()
}
