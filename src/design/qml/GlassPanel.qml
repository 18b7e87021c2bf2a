import QtQuick
import Quellvista.Design

// The translucent rounded surface behind cards and secondary buttons: material, fill
// (raised while hovering), sheen, outline and shadow.
Surface {
    kind: Surface.GlassPanel
}
