// The wallpaper's picture: an item that has its frames drawn by an aerolume process at
// its size in pixels (the process's SceneHost starts one for the screens that share
// their settings), maps the frames file the program writes for it, and shows the newest
// frame as a texture. The scene is never drawn here: a crash or a stall of the program
// leaves the last frame on show and plasmashell untouched. The item tells the program
// whether it is seen (not while it is not visible, its window hidden, the session
// locked, or `covered`, which the wallpaper's QML sets while a maximized or full-screen
// window hides the screen): its view is drawn only while it is.
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

  // For the host: what the item asks of a program, and what became of it.
  QSize pixel_size() const;
  const SceneSettings& settings() const { return settings_; }
  const QString& frames_path() const { return frames_path_; }
  bool seen() const { return seen_ == FramesSeen::seen; }
  // A program (again) draws this item's frames, into a new file.
  void program_started();
  // The program was given other files: this item's may be new.
  void files_changed();
  void program_failed(const QString& why);

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
  void place();
  bool frames_from(qint64 pid) const;
  bool open_frames(qint64 pid);
  void take_newest_frame();
  void follow_visibility();
  void set_problem(const QString& problem);

  SceneSettings settings_;
  SharedFramesReader frames_;
  QString frames_path_;
  FramesSeen seen_ = FramesSeen::hidden;
  QTimer frame_timer_;  // looks for a new frame twice per frame at the program's pace
                        // while the item is seen; else, twice a second, only follows
                        // the file, so that the program knows it is not seen
  QImage image_;        // the newest frame, rows from the bottom up
  bool image_changed_ = false;
  bool covered_ = false;
  bool locked_ = false;
  bool drawing_ = false;
  QString problem_;
};

}  // namespace aerolume
