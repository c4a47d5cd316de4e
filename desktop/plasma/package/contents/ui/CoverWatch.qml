// Whether a window on this screen's current desktop is maximized or full screen and not
// minimized: the wallpaper is then hidden, and the program is paused.
import QtQuick 2.15
import org.kde.taskmanager 0.1 as TaskManager

Item {
    id: watch
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

    // Counted afresh whenever a window comes, goes or changes: a window that goes takes
    // its roles with it, so nothing is taken off a running count.
    Instantiator {
        id: windows
        model: tasks
        delegate: QtObject {
            readonly property bool covering: !model.IsMinimized && (model.IsMaximized || model.IsFullScreen)
            onCoveringChanged: Qt.callLater(watch.recount)
        }
        onObjectAdded: Qt.callLater(watch.recount)
        onObjectRemoved: Qt.callLater(watch.recount)
    }

    function recount() {
        var n = 0;
        for (var i = 0; i < windows.count; ++i) {
            var window = windows.objectAt(i);
            if (window && window.covering) ++n;
        }
        coveringCount = n;
    }
}
