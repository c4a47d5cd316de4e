// The aerolume process behind the wallpapers of one or more screens: started with a
// frames file and a size for each screen and the wallpapers' settings, drawing one scene
// into the files; paused and resumed, and given other files, over its control interface
// on the session bus; ended when the wallpapers go (and by the kernel when plasmashell
// ends first); started again after a crash, a few times at most.
#pragma once

#include <QDBusServiceWatcher>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QProcess>
#include <QSize>
#include <QString>
#include <QStringList>

namespace aerolume {

// What the wallpaper's settings ask of the program.
struct SceneSettings {
  int max_fps = 30;
  int battery_fps = 10;
  int samples = 0;
  bool auto_orbit = false;
  bool operator==(const SceneSettings&) const = default;
};

// One screen's frames: the file and its size in pixels.
struct FramesTarget {
  QString path;
  QSize size;
  bool operator==(const FramesTarget&) const = default;
};

}  // namespace aerolume

Q_DECLARE_METATYPE(aerolume::FramesTarget)

// A target on the bus, as SetFrames takes each: (path, width, height).
class QDBusArgument;
QDBusArgument& operator<<(QDBusArgument& argument, const aerolume::FramesTarget& target);
const QDBusArgument& operator>>(const QDBusArgument& argument, aerolume::FramesTarget& target);

namespace aerolume {

// The words the program is started with.
QStringList program_arguments(const QList<FramesTarget>& targets, const SceneSettings& settings);

// How many times a program that ended by itself (a crash, a failure) is started again
// before the wallpaper gives up and says why.
constexpr int restarts_allowed = 3;

class SceneProgram : public QObject {
  Q_OBJECT

 public:
  explicit SceneProgram(QObject* parent = nullptr);
  ~SceneProgram() override;

  // Starts the program anew (ending one that runs) for the targets' frames.
  void start(const QList<FramesTarget>& targets, const SceneSettings& settings);
  // The running program draws the targets' frames from now on, its scene going on
  // (SetFrames on its control); one that refuses, or none running, starts anew with them.
  void set_targets(const QList<FramesTarget>& targets);
  // Ends the program, if one runs, and waits for it briefly.
  void stop();
  // Whether the program should draw; sent now where it runs, and again whenever a new
  // one appears on the bus.
  void set_paused(bool paused);
  // The running program's process id, 0 when none runs.
  qint64 pid() const;

 Q_SIGNALS:
  // A program began to run (a start or a restart): its frames file is new.
  void programStarted();
  // The program ended by itself too many times, or could not be started: the reason.
  void failed(const QString& why);

 private:
  void launch();
  void ended(int code, QProcess::ExitStatus status);
  void send_pause();

  QProcess* process_ = nullptr;
  QDBusServiceWatcher watcher_;
  QList<FramesTarget> targets_;
  SceneSettings settings_;
  bool paused_ = false;
  int restarts_ = 0;
};

}  // namespace aerolume
