// One program for the screens that share their settings.
#include "desktop/plasma/scene_host.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <algorithm>

#include "desktop/plasma/scene_item.h"

namespace aerolume {

namespace {

// A child of the application: its programs end with it, before the statics go.
QPointer<SceneHost>& the_host() {
  static QPointer<SceneHost> host;
  return host;
}

}  // namespace

SceneHost& SceneHost::instance() {
  if (the_host().isNull()) the_host() = new SceneHost(QCoreApplication::instance());
  return *the_host();
}

SceneHost* SceneHost::existing() { return the_host().data(); }

SceneHost::SceneHost(QObject* parent) : QObject(parent) {
  arrange_timer_.setSingleShot(true);
  arrange_timer_.setInterval(300);
  connect(&arrange_timer_, &QTimer::timeout, this, &SceneHost::arrange);
}

SceneHost::~SceneHost() = default;

void SceneHost::place(SceneItem* item) {
  if (!items_.contains(item)) items_ << item;
  arrange_timer_.start();
}

void SceneHost::leave(SceneItem* item) {
  items_.removeAll(item);
  Group* group = group_of(item);
  if (group == nullptr) return;
  group->items.removeAll(item);
  if (group->items.isEmpty()) {
    groups_.erase(std::find_if(groups_.begin(), groups_.end(),
                               [group](const auto& g) { return g.get() == group; }));
  } else {
    follow_pause(*group);
    arrange_timer_.start();
  }
}

void SceneHost::seen_changed(SceneItem* item) {
  if (Group* group = group_of(item)) follow_pause(*group);
}

qint64 SceneHost::pid_of(const SceneItem* item) const {
  const Group* group = group_of(item);
  return group != nullptr ? group->program->pid() : 0;
}

SceneHost::Group* SceneHost::group_of(const SceneItem* item) const {
  for (const auto& group : groups_)
    if (group->items.contains(const_cast<SceneItem*>(item))) return group.get();
  return nullptr;
}

// What the items ask for now, grouped by their settings in the order the items came: a
// program already running with those settings draws on, for the group's screens now;
// the others end, and a new one starts for each group left.
void SceneHost::arrange() {
  // At the start the screens' wallpapers come one after another, later ones well after
  // the first on a busy machine: the first program waits a while for one on every screen
  // rather than start for some and again for all.
  if (groups_.empty()) {
    const auto sized = std::count_if(items_.begin(), items_.end(), [](const SceneItem* item) {
      return !item->pixel_size().isEmpty();
    });
    if (!first_wait_.isValid()) first_wait_.start();
    if (sized < QGuiApplication::screens().size() && !first_wait_.hasExpired(first_wait_ms)) {
      arrange_timer_.start();
      return;
    }
  }
  first_wait_.invalidate();
  std::vector<std::unique_ptr<Group>> wanted;
  for (SceneItem* item : std::as_const(items_)) {
    const QSize size = item->pixel_size();
    if (size.isEmpty()) continue;
    auto same = std::find_if(wanted.begin(), wanted.end(),
                             [item](const auto& g) { return g->settings == item->settings(); });
    if (same == wanted.end()) {
      wanted.push_back(std::make_unique<Group>());
      wanted.back()->settings = item->settings();
      same = wanted.end() - 1;
    }
    (*same)->items << item;
    (*same)->targets << FramesTarget{item->frames_path(), size};
  }
  std::vector<std::unique_ptr<Group>> kept, started;
  for (auto& want : wanted) {
    auto running = std::find_if(groups_.begin(), groups_.end(),
                                [&want](const auto& g) { return g->settings == want->settings; });
    if (running == groups_.end()) {
      started.push_back(std::move(want));
      continue;
    }
    // Its screens changed (one came or went, or a new size): the program draws the new
    // files, its scene going on.
    Group& group = **running;
    const bool moved = group.targets != want->targets;
    group.items = want->items;
    group.targets = want->targets;
    if (moved) {
      group.program->set_targets(group.targets);
      for (SceneItem* item : std::as_const(group.items)) item->files_changed();
    }
    follow_pause(group);
    kept.push_back(std::move(*running));
    groups_.erase(running);
  }
  groups_ = std::move(kept);  // the programs no longer wanted end here
  for (auto& group : started) {
    groups_.push_back(std::move(group));  // found by its items from the start
    start(*groups_.back());
  }
}

void SceneHost::start(Group& group) {
  group.program = std::make_unique<SceneProgram>();
  Group* g = &group;
  connect(group.program.get(), &SceneProgram::programStarted, this, [g] {
    for (SceneItem* item : std::as_const(g->items)) item->program_started();
  });
  connect(group.program.get(), &SceneProgram::failed, this, [g](const QString& why) {
    for (SceneItem* item : std::as_const(g->items)) item->program_failed(why);
  });
  follow_pause(group);
  group.program->start(group.targets, group.settings);
}

void SceneHost::follow_pause(Group& group) {
  const bool none_seen = std::none_of(group.items.begin(), group.items.end(),
                                      [](const SceneItem* item) { return item->seen(); });
  group.program->set_paused(none_seen);
}

}  // namespace aerolume
