// The wallpaper's settings page in "Configure Desktop and Wallpaper".
import QtQuick 2.15
import QtQuick.Controls 2.15 as QQC2
import org.kde.kirigami 2.5 as Kirigami

Kirigami.FormLayout {
    id: root
    twinFormLayouts: parentLayout

    property alias cfg_MaxFps: pace.value
    property alias cfg_BatteryFps: batteryPace.value
    property int cfg_Samples
    property alias cfg_AutoOrbit: orbit.checked

    QQC2.SpinBox {
        id: pace
        Kirigami.FormData.label: "Frames a second:"
        from: 1
        to: 240
    }
    QQC2.SpinBox {
        id: batteryPace
        Kirigami.FormData.label: "On battery:"
        from: 0
        to: 240
    }
    QQC2.Label {
        text: "0 on battery draws nothing and leaves the last picture"
        font: Kirigami.Theme.smallFont
    }
    QQC2.ComboBox {
        id: samples
        Kirigami.FormData.label: "Smooth edges:"
        readonly property var values: [0, 2, 4, 8, 16]
        model: ["Off", "2 samples a pixel", "4 samples a pixel", "8 samples a pixel", "16 samples a pixel"]
        currentIndex: Math.max(0, values.indexOf(root.cfg_Samples))
        onActivated: root.cfg_Samples = values[index]
    }
    QQC2.CheckBox {
        id: orbit
        Kirigami.FormData.label: "Camera:"
        text: "Orbit"
    }
}
