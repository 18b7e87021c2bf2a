import QtQuick
import Quellvista.Design

// The pointer of a tour pop-up, turned half a turn; the pop-up places it at its
// top-trailing corner, 28 points in and 9 points up.
Triangle {
    width: 16
    height: 10
    rotation: 180
    color: Theme.surface
}
