// Whether a window on this screen's current desktop is maximized or full screen and not
// minimized: the wallpaper is then hidden, and the program is paused.
import QtQuick 2.15
import org.kde.taskmanager 0.1 as TaskManager

Item {
    readonly property bool covered: coveringCount > 0
    property int coveringCount: 0

    TaskManager.VirtualDesktopInfo { id: desktopInfo }
    TaskManager.ActivityInfo { id: activityInfo }

    TaskManager.TasksModel {
        id: tasks
        sortMode: TaskManager.TasksModel.SortDisabled
        groupMode: TaskManager.TasksModel.GroupDisabled
        virtualDesktop: desktopInfo.currentDesktop
        activity: activityInfo.currentActivity
        screenGeometry: coverWatch.screenGeometry
        filterByVirtualDesktop: true
        filterByActivity: true
        // Where the screen's place is unknown, a window on any screen counts.
        filterByScreen: coverWatch.screenGeometry.width > 0
    }

    Instantiator {
        model: tasks
        delegate: QtObject {
            readonly property bool covering: !model.IsMinimized && (model.IsMaximized || model.IsFullScreen)
            onCoveringChanged: coveringCount += covering ? 1 : -1
            Component.onCompleted: if (covering) coveringCount += 1
            Component.onDestruction: if (covering) coveringCount -= 1
        }
    }
}
