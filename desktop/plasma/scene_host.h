// The wallpapers of one process (plasmashell shows one on each screen) and the aerolume
// processes behind them. The screens whose wallpapers have the same settings share one
// program, which draws one scene into a frames file for each of them; a screen whose
// wallpaper is set otherwise gets a program of its own, as its settings ask. A screen
// that comes or goes, or a new size, gives the program other files, its scene going on.
// A program is paused while none of its screens' wallpapers is seen, and each wallpaper
// tells the program through its file whether its own is seen, so that only the seen
// are drawn.
#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>
#include <memory>
#include <vector>

#include "desktop/plasma/scene_program.h"

namespace aerolume {

class SceneItem;

class SceneHost : public QObject {
  Q_OBJECT

 public:
  // The process's host, made on first use and ended with the application.
  static SceneHost& instance();
  // The host, where one was made and has not ended yet; none otherwise.
  static SceneHost* existing();
  ~SceneHost() override;

  // The item is new, or its size, settings or window changed: the programs are arranged
  // anew once the changes settle; the first, once every screen has its wallpaper (or a
  // few seconds have passed). An item of no size waits outside.
  void place(SceneItem* item);
  // The item goes. The last of a program's items ends it at once; the others keep it,
  // and it draws their files alone once the programs are arranged anew.
  void leave(SceneItem* item);
  // Whether the item is seen changed: its program is paused while none of its items is.
  void seen_changed(SceneItem* item);
  // The process drawing the item's frames; 0 while none does.
  qint64 pid_of(const SceneItem* item) const;

 private:
  struct Group {
    SceneSettings settings;
    QList<SceneItem*> items;
    QList<FramesTarget> targets;  // the items', in the same order
    std::unique_ptr<SceneProgram> program;
  };

  explicit SceneHost(QObject* parent);
  void arrange();
  void start(Group& group);
  Group* group_of(const SceneItem* item) const;
  void follow_pause(Group& group);

  QList<SceneItem*> items_;  // in the order they came
  std::vector<std::unique_ptr<Group>> groups_;
  QTimer arrange_timer_;
  // While no program runs: since the first arrangement was due. The first program waits
  // at most this long for a wallpaper on every screen.
  QElapsedTimer first_wait_;
  static constexpr qint64 first_wait_ms = 3000;
};

}  // namespace aerolume
