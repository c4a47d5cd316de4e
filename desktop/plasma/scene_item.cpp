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
  start_timer_.setSingleShot(true);
  start_timer_.setInterval(300);
  connect(&start_timer_, &QTimer::timeout, this, &SceneItem::start_program);
  connect(&frame_timer_, &QTimer::timeout, this, &SceneItem::take_newest_frame);
  connect(&program_, &SceneProgram::programStarted, this, [this] {
    frames_.close();
    set_problem(QString());
    follow_visibility();
  });
  connect(&program_, &SceneProgram::failed, this, [this](const QString& why) { set_problem(why); });
  // The session locked: the lock screen covers every screen. (Inside the locker's own
  // process the wallpaper is what is seen, and it keeps drawing.)
  if (QCoreApplication::applicationName() == QLatin1String("plasmashell"))
    QDBusConnection::sessionBus().connect(
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("/ScreenSaver"),
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("ActiveChanged"), this,
        SLOT(setLocked(bool)));
}

SceneItem::~SceneItem() {
  program_.stop();
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
  schedule_start();
}

void SceneItem::componentComplete() {
  QQuickItem::componentComplete();
  schedule_start();
}

void SceneItem::geometryChanged(const QRectF& now, const QRectF& before) {
  QQuickItem::geometryChanged(now, before);
  if (now.size() != before.size()) schedule_start();
}

void SceneItem::itemChange(ItemChange change, const ItemChangeData& value) {
  QQuickItem::itemChange(change, value);
  if (change == ItemSceneChange && value.window != nullptr) {
    connect(value.window, &QWindow::visibilityChanged, this, &SceneItem::follow_visibility,
            Qt::UniqueConnection);
    schedule_start();
  }
  if (change == ItemVisibleHasChanged || change == ItemSceneChange) follow_visibility();
  if (change == ItemDevicePixelRatioHasChanged) schedule_start();
}

void SceneItem::schedule_start() {
  if (isComponentComplete()) start_timer_.start();
}

// The program runs at the item's size in pixels, and again whenever it or the settings
// change.
void SceneItem::start_program() {
  if (window() == nullptr) return;
  const qreal ratio = window()->effectiveDevicePixelRatio();
  const QSize size(qCeil(width() * ratio), qCeil(height() * ratio));
  if (size.isEmpty()) return;
  if (program_.pid() != 0 && size == started_size_ && settings_ == started_settings_) return;
  started_size_ = size;
  started_settings_ = settings_;
  program_.start(frames_path_, size, settings_);
  frame_timer_.setInterval(qMax(5, 500 / qMax(1, settings_.max_fps)));
  follow_visibility();
}

void SceneItem::take_newest_frame() {
  const qint64 pid = program_.pid();
  if (pid == 0) return;
  // The file is the running program's once it carries its process id.
  if (!frames_.is_open() || frames_.writer_pid() != static_cast<std::uint32_t>(pid)) {
    std::string why;
    if (!frames_.open(QFile::encodeName(frames_path_).toStdString(), &why) ||
        frames_.writer_pid() != static_cast<std::uint32_t>(pid)) {
      frames_.close();
      return;
    }
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
  const bool seen = isVisible() && w != nullptr && w->isVisible() &&
                    w->visibility() != QWindow::Minimized && !covered_ && !locked_;
  program_.set_paused(!seen);
  // No new frames come while the program is paused: nothing to look for meanwhile.
  if (seen && program_.pid() != 0) {
    if (!frame_timer_.isActive()) frame_timer_.start();
  } else {
    frame_timer_.stop();
  }
  if (seen != drawing_) {
    drawing_ = seen;
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
