// The wallpaper's picture, from the frames an aerolume process writes.
#include "desktop/plasma/scene_item.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QQuickWindow>
#include <QSGSimpleTextureNode>
#include <QStandardPaths>
#include <QtMath>
#include <atomic>
#include <optional>

#include "desktop/plasma/scene_host.h"

namespace aerolume {

namespace {

// A file of its own for each item of the process, in the user's runtime folder.
QString new_frames_path() {
  static std::atomic<int> serial{0};
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) folder = QDir::tempPath();
  return QStringLiteral("%1/aerolume-wallpaper-%2-%3.frames")
      .arg(folder)
      .arg(QCoreApplication::applicationPid())
      .arg(++serial);
}

}  // namespace

SceneItem::SceneItem(QQuickItem* parent) : QQuickItem(parent), frames_path_(new_frames_path()) {
  setFlag(ItemHasContents, true);
  connect(&frame_timer_, &QTimer::timeout, this, &SceneItem::take_newest_frame);
  // The session locked: the lock screen covers every screen. (Inside the locker's own
  // process the wallpaper is what is seen, and it keeps drawing.)
  if (QCoreApplication::applicationName() == QLatin1String("plasmashell"))
    QDBusConnection::sessionBus().connect(
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/ScreenSaver"),
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("ActiveChanged"), this,
        SLOT(setLocked(bool)));
}

SceneItem::~SceneItem() {
  // (As the application ends, its host may have gone first, and its programs with it.)
  if (SceneHost* host = SceneHost::existing()) host->leave(this);
  frames_.close();
  unlink(QFile::encodeName(frames_path_).constData());
}

void SceneItem::setMaxFps(int fps) {
  SceneSettings s = settings_;
  s.max_fps = qBound(1, fps, 240);
  change_settings(s);
}
void SceneItem::setBatteryFps(int fps) {
  SceneSettings s = settings_;
  s.battery_fps = qBound(0, fps, 240);
  change_settings(s);
}
void SceneItem::setSamples(int samples) {
  SceneSettings s = settings_;
  s.samples = samples >= 16 ? 16 : samples >= 8 ? 8 : samples >= 4 ? 4 : samples >= 2 ? 2 : 0;
  change_settings(s);
}
void SceneItem::setAutoOrbit(bool orbit) {
  SceneSettings s = settings_;
  s.auto_orbit = orbit;
  change_settings(s);
}

void SceneItem::setCovered(bool covered) {
  if (covered == covered_) return;
  covered_ = covered;
  Q_EMIT coveredChanged();
  follow_visibility();
}

void SceneItem::setLocked(bool locked) {
  locked_ = locked;
  follow_visibility();
}

void SceneItem::change_settings(SceneSettings settings) {
  if (settings == settings_) return;
  settings_ = settings;
  Q_EMIT settingsChanged();
  place();
}

void SceneItem::componentComplete() {
  QQuickItem::componentComplete();
  place();
}

void SceneItem::geometryChanged(const QRectF& now, const QRectF& before) {
  QQuickItem::geometryChanged(now, before);
  if (now.size() != before.size()) place();
}

void SceneItem::itemChange(ItemChange change, const ItemChangeData& value) {
  QQuickItem::itemChange(change, value);
  if (change == ItemSceneChange && value.window != nullptr) {
    connect(value.window, &QWindow::visibilityChanged, this, &SceneItem::follow_visibility,
            Qt::UniqueConnection);
    place();
  }
  if (change == ItemVisibleHasChanged || change == ItemSceneChange) follow_visibility();
  if (change == ItemDevicePixelRatioHasChanged) place();
}

// The host arranges the programs anew once the size and the settings settle.
void SceneItem::place() {
  if (isComponentComplete()) SceneHost::instance().place(this);
}

QSize SceneItem::pixel_size() const {
  if (window() == nullptr) return {};
  const qreal ratio = window()->effectiveDevicePixelRatio();
  return {qCeil(width() * ratio), qCeil(height() * ratio)};
}

void SceneItem::program_started() {
  set_problem(QString());
  files_changed();
}

void SceneItem::files_changed() {
  frames_.close();
  follow_visibility();
}

void SceneItem::program_failed(const QString& why) { set_problem(why); }

// The file is the running program's once it carries its process id and is still
// written.
bool SceneItem::frames_from(qint64 pid) const {
  return frames_.is_open() && frames_.writer_pid() == static_cast<std::uint32_t>(pid) &&
         !frames_.retired();
}

// The program learns from its file whether this screen's picture is seen.
bool SceneItem::open_frames(qint64 pid) {
  if (pid == 0) return false;
  if (frames_from(pid)) return true;
  std::string why;
  if (!frames_.open(QFile::encodeName(frames_path_).toStdString(), &why) || !frames_from(pid)) {
    frames_.close();
    return false;
  }
  frames_.set_seen(seen_);
  return true;
}

void SceneItem::take_newest_frame() {
  const bool was_known = frames_.is_open();
  if (!open_frames(SceneHost::instance().pid_of(this))) return;
  if (seen_ != FramesSeen::seen) {
    if (!was_known) follow_visibility();  // the file is open: followed slowly from now on
    return;
  }
  const std::optional<SharedFramesReader::Ticket> ticket = frames_.newest_ticket();
  if (!ticket) return;
  QImage image(frames_.width(), frames_.height(), QImage::Format_RGB32);
  if (image.bytesPerLine() != frames_.stride()) return;
  frames_.copy_pixels(*ticket, image.bits());
  if (!frames_.copy_was_whole(*ticket)) return;  // overtaken: the next tick takes a newer one
  image_ = std::move(image);
  image_changed_ = true;
  update();
}

void SceneItem::follow_visibility() {
  const QQuickWindow* w = window();
  const FramesSeen seen =
      !isVisible() || w == nullptr || !w->isVisible() || w->visibility() == QWindow::Minimized
          ? FramesSeen::hidden
      : locked_  ? FramesSeen::locked
      : covered_ ? FramesSeen::covered
                 : FramesSeen::seen;
  const bool changed = seen != seen_;
  seen_ = seen;
  frames_.set_seen(seen);
  if (changed) SceneHost::instance().seen_changed(this);
  // Frames are looked for while the program draws this screen. Unseen, the file alone is
  // followed: quickly until it is open, so that a new file (the program started again,
  // or given other files) soon hears that it is not seen, then slowly.
  const qint64 pid = SceneHost::instance().pid_of(this);
  const bool drawing = seen == FramesSeen::seen && pid != 0;
  if (pid != 0) {
    const int frame_pace_ms = qMax(5, 500 / qMax(1, settings_.max_fps));
    frame_timer_.setInterval(drawing || !frames_from(pid) ? frame_pace_ms : 500);
    if (!frame_timer_.isActive()) frame_timer_.start();
  } else {
    frame_timer_.stop();
  }
  if (drawing != drawing_) {
    drawing_ = drawing;
    Q_EMIT drawingChanged();
  }
}

void SceneItem::set_problem(const QString& problem) {
  if (problem == problem_) return;
  problem_ = problem;
  if (!problem.isEmpty()) qWarning("Aerolume wallpaper: %s", qPrintable(problem));
  Q_EMIT problemChanged();
}

QSGNode* SceneItem::updatePaintNode(QSGNode* old, UpdatePaintNodeData*) {
  auto* node = static_cast<QSGSimpleTextureNode*>(old);
  if (image_.isNull()) {
    delete node;
    return nullptr;
  }
  if (node == nullptr) {
    node = new QSGSimpleTextureNode;
    node->setOwnsTexture(true);
    node->setFiltering(QSGTexture::Linear);
    // GL reads rows from the bottom up; the picture's first row is its last.
    node->setTextureCoordinatesTransform(QSGSimpleTextureNode::MirrorVertically);
  }
  if (image_changed_ || node->texture() == nullptr) {
    QSGTexture* texture = window()->createTextureFromImage(image_);
    QSGTexture* before = node->texture();
    node->setOwnsTexture(false);
    node->setTexture(texture);
    node->setOwnsTexture(true);
    delete before;
    image_changed_ = false;
  }
  node->setRect(boundingRect());
  return node;
}

}  // namespace aerolume
