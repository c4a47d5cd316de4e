// The wallpaper's picture: an item that starts an aerolume process with its size in
// pixels, maps the frames file the program writes, and shows the newest frame as a
// texture. The scene is never drawn here: a crash or a stall of the program leaves the
// last frame on show and plasmashell untouched. The program is paused while the item
// cannot be seen (not visible, its window hidden, the session locked, or `covered`, which
// the wallpaper's QML sets while a maximized or full-screen window hides the screen).
#pragma once

#include <QImage>
#include <QQuickItem>
#include <QTimer>

#include "desktop/plasma/scene_program.h"
#include "viewer/offscreen/shared_frames.h"

namespace aerolume {

class SceneItem : public QQuickItem {
  Q_OBJECT
  Q_PROPERTY(int maxFps READ maxFps WRITE setMaxFps NOTIFY settingsChanged)
  Q_PROPERTY(int batteryFps READ batteryFps WRITE setBatteryFps NOTIFY settingsChanged)
  Q_PROPERTY(int samples READ samples WRITE setSamples NOTIFY settingsChanged)
  Q_PROPERTY(bool autoOrbit READ autoOrbit WRITE setAutoOrbit NOTIFY settingsChanged)
  Q_PROPERTY(bool covered READ covered WRITE setCovered NOTIFY coveredChanged)
  // Whether the program is asked to draw now, and why not in `problem` when it failed.
  Q_PROPERTY(bool drawing READ drawing NOTIFY drawingChanged)
  Q_PROPERTY(QString problem READ problem NOTIFY problemChanged)

 public:
  explicit SceneItem(QQuickItem* parent = nullptr);
  ~SceneItem() override;

  int maxFps() const { return settings_.max_fps; }
  int batteryFps() const { return settings_.battery_fps; }
  int samples() const { return settings_.samples; }
  bool autoOrbit() const { return settings_.auto_orbit; }
  bool covered() const { return covered_; }
  bool drawing() const { return drawing_; }
  QString problem() const { return problem_; }
  void setMaxFps(int fps);
  void setBatteryFps(int fps);
  void setSamples(int samples);
  void setAutoOrbit(bool orbit);
  void setCovered(bool covered);

 Q_SIGNALS:
  void settingsChanged();
  void coveredChanged();
  void drawingChanged();
  void problemChanged();

 private Q_SLOTS:
  // The session's lock screen came or went (org.freedesktop.ScreenSaver's ActiveChanged).
  void setLocked(bool locked);

 protected:
  QSGNode* updatePaintNode(QSGNode* old, UpdatePaintNodeData* data) override;
  void geometryChanged(const QRectF& now, const QRectF& before) override;
  void itemChange(ItemChange change, const ItemChangeData& value) override;
  void componentComplete() override;

 private:
  void change_settings(SceneSettings settings);
  void schedule_start();
  void start_program();
  void take_newest_frame();
  void follow_visibility();
  void set_problem(const QString& problem);

  SceneProgram program_;
  SceneSettings settings_;
  SharedFramesReader frames_;
  QString frames_path_;
  QSize started_size_;
  SceneSettings started_settings_;
  QTimer start_timer_;  // a new size or settings settle before the program starts anew
  QTimer frame_timer_;  // looks for a new frame twice per frame at the program's pace,
                        // while the program draws
  QImage image_;        // the newest frame, rows from the bottom up
  bool image_changed_ = false;
  bool covered_ = false;
  bool locked_ = false;
  bool drawing_ = false;
  QString problem_;
};

}  // namespace aerolume
