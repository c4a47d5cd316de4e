// The Aerolume wallpaper: the scene as the screen's background, drawn by an aerolume
// process that the native item starts and pauses; this file only hands it the settings
// and whether a maximized or full-screen window covers the screen.
import QtQuick 2.15
import io.github.aerolume.wallpaper 1.0

Rectangle {
    id: root
    color: "black"

    AerolumeScene {
        id: scene
        anchors.fill: parent
        maxFps: wallpaper.configuration.MaxFps
        batteryFps: wallpaper.configuration.BatteryFps
        samples: wallpaper.configuration.Samples
        autoOrbit: wallpaper.configuration.AutoOrbit
        covered: coverWatch.item ? coverWatch.item.covered : false
    }

    // Where the program cannot run (not installed, or it ended again and again), say so
    // on the wallpaper itself rather than leave it blank.
    Text {
        anchors.centerIn: parent
        width: parent.width * 0.8
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        visible: scene.problem !== ""
        color: "white"
        text: "Aerolume: " + scene.problem
    }

    // Whether a window hides this screen's wallpaper, from Plasma's task manager; where
    // that module is missing the wallpaper still shows, and only follows visibility.
    Loader {
        id: coverWatch
        source: "CoverWatch.qml"
        property rect screenGeometry: wallpaper.parent && wallpaper.parent.screenGeometry
                                      ? wallpaper.parent.screenGeometry : Qt.rect(0, 0, 0, 0)
    }
}
