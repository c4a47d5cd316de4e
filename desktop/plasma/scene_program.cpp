// Starting, pausing and ending the program behind a wallpaper.
#include "desktop/plasma/scene_program.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QTimer>

#ifndef AEROLUME_PROGRAM
#define AEROLUME_PROGRAM "aerolume"
#endif

QDBusArgument& operator<<(QDBusArgument& argument, const aerolume::FramesTarget& target) {
  argument.beginStructure();
  argument << target.path << target.size.width() << target.size.height();
  argument.endStructure();
  return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, aerolume::FramesTarget& target) {
  int width = 0, height = 0;
  argument.beginStructure();
  argument >> target.path >> width >> height;
  argument.endStructure();
  target.size = QSize(width, height);
  return argument;
}

namespace aerolume {

namespace {

// The program's name and object on the session bus (viewer/control/control_bus.h).
QString control_name(qint64 pid) { return QStringLiteral("io.github.aerolume.Aerolume.i%1").arg(pid); }
constexpr const char* control_path = "/io/github/aerolume/Aerolume";
constexpr const char* control_interface = "io.github.aerolume.Aerolume.Control";

// The program, as installed with the plugin; AEROLUME_PROGRAM in the environment names
// another (a build of one's own).
QString program_path() {
  const QByteArray other = qgetenv("AEROLUME_PROGRAM");
  return other.isEmpty() ? QStringLiteral(AEROLUME_PROGRAM) : QString::fromLocal8Bit(other);
}

// The program dies with the process that started it: a plasmashell that crashes or is
// killed leaves no scene drawing for nobody.
class ChildProcess final : public QProcess {
 public:
  using QProcess::QProcess;

 protected:
  void setupChildProcess() override {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() == 1) _exit(0);  // the parent went before the line above
  }
};

}  // namespace

QStringList program_arguments(const QList<FramesTarget>& targets, const SceneSettings& settings) {
  QStringList words;
  for (const FramesTarget& target : targets)
    words << QStringLiteral("--frames-to") << target.path << QStringLiteral("--size")
          << QStringLiteral("%1x%2").arg(target.size.width()).arg(target.size.height());
  words << QStringLiteral("--max-fps") << QString::number(settings.max_fps)
        << QStringLiteral("--battery-fps") << QString::number(settings.battery_fps);
  if (settings.samples > 0) words << QStringLiteral("--samples") << QString::number(settings.samples);
  if (settings.auto_orbit) words << QStringLiteral("--auto-orbit");
  return words;
}

SceneProgram::SceneProgram(QObject* parent) : QObject(parent) {
  watcher_.setConnection(QDBusConnection::sessionBus());
  watcher_.setWatchMode(QDBusServiceWatcher::WatchForRegistration);
  // The program serves its control a moment after it starts: the pause goes once it does.
  connect(&watcher_, &QDBusServiceWatcher::serviceRegistered, this, [this] { send_pause(); });
}

SceneProgram::~SceneProgram() { stop(); }

void SceneProgram::start(const QList<FramesTarget>& targets, const SceneSettings& settings) {
  stop();
  targets_ = targets;
  settings_ = settings;
  restarts_ = 0;
  launch();
}

void SceneProgram::launch() {
  process_ = new ChildProcess(this);
  // The program's lines (a failure, a note) go where plasmashell's own go.
  process_->setProcessChannelMode(QProcess::ForwardedChannels);
  connect(process_, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
          &SceneProgram::ended);
  connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart)
      Q_EMIT failed(QStringLiteral("cannot start %1: %2").arg(program_path(), process_->errorString()));
  });
  process_->start(program_path(), program_arguments(targets_, settings_));
  if (!process_->waitForStarted(5000)) return;
  watcher_.setWatchedServices({control_name(process_->processId())});
  send_pause();
  Q_EMIT programStarted();
}

void SceneProgram::set_targets(const QList<FramesTarget>& targets) {
  if (process_ == nullptr) {
    start(targets, settings_);
    return;
  }
  targets_ = targets;  // what a restart starts with, from now on
  static const int registered = [] {
    qDBusRegisterMetaType<FramesTarget>();
    return qDBusRegisterMetaType<QList<FramesTarget>>();
  }();
  Q_UNUSED(registered);
  const qint64 pid = process_->processId();
  QDBusMessage call = QDBusMessage::createMethodCall(control_name(pid), QLatin1String(control_path),
                                                     QLatin1String(control_interface),
                                                     QStringLiteral("SetFrames"));
  call << QVariant::fromValue(targets);
  call.setAutoStartService(false);
  auto* watcher =
      new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, 5000), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, pid, watcher] {
    watcher->deleteLater();
    // Refused, or no answer (not yet on the bus, stalled): the same files from a new start.
    if (watcher->isError() && process_ != nullptr && process_->processId() == pid) {
      qWarning("Aerolume wallpaper: the program did not take its new frames files (%s); "
               "starting it anew",
               qPrintable(watcher->error().message()));
      const QList<FramesTarget> targets = targets_;  // start() clears them first
      start(targets, settings_);
    }
  });
}

void SceneProgram::ended(int code, QProcess::ExitStatus status) {
  QProcess* gone = process_;
  process_ = nullptr;
  watcher_.setWatchedServices({});
  if (gone != nullptr) gone->deleteLater();
  if (restarts_ >= restarts_allowed) {
    Q_EMIT failed(QStringLiteral("aerolume ended %1 times (last: %2); not started again")
                    .arg(restarts_ + 1)
                    .arg(status == QProcess::CrashExit ? QStringLiteral("a crash")
                                                       : QStringLiteral("status %1").arg(code)));
    return;
  }
  ++restarts_;
  QTimer::singleShot(1000, this, [this] {
    if (process_ == nullptr && !targets_.isEmpty()) launch();
  });
}

void SceneProgram::stop() {
  targets_.clear();  // nor started again by a restart that is due
  if (process_ == nullptr) return;
  QProcess* process = process_;
  process_ = nullptr;  // its end is asked for: not a crash to restart after
  process->disconnect(this);
  watcher_.setWatchedServices({});
  process->terminate();
  if (!process->waitForFinished(2000)) {
    process->kill();
    process->waitForFinished(1000);
  }
  delete process;
}

void SceneProgram::set_paused(bool paused) {
  if (paused == paused_) return;
  paused_ = paused;
  send_pause();
}

qint64 SceneProgram::pid() const { return process_ != nullptr ? process_->processId() : 0; }

void SceneProgram::send_pause() {
  if (process_ == nullptr) return;
  QDBusMessage call = QDBusMessage::createMethodCall(
      control_name(process_->processId()), QLatin1String(control_path),
      QLatin1String(control_interface), paused_ ? QStringLiteral("Pause") : QStringLiteral("Resume"));
  call.setAutoStartService(false);
  // Unanswered while the program has not yet taken its name: the watcher sends it again.
  QDBusConnection::sessionBus().call(call, QDBus::NoBlock);
}

}  // namespace aerolume
