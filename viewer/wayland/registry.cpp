// The registry and the seat: each listener writes what arrived into the session's record
// and does nothing else (the seat's pointer, keyboard and touch screen are taken or let go as
// the seat gains or loses them); an output's own events are its record's
// (viewer/wayland/output.cpp).
#include "viewer/wayland/registry.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace aerolume {

namespace {

void record_input(void* data) {
  auto* session = static_cast<WaylandSession*>(data);
  if (session->shown()) session->input.seen = true;
}
// The pointer's arrival on the surface is no motion; a motion event at the position it
// arrived at (some compositors send one with the arrival) is none either.
void on_pointer_enter(void* data, wl_pointer*, std::uint32_t, wl_surface*, wl_fixed_t x, wl_fixed_t y) {
  auto& input = static_cast<WaylandSession*>(data)->input;
  input.pointer_x = x;
  input.pointer_y = y;
}
void on_pointer_leave(void*, wl_pointer*, std::uint32_t, wl_surface*) {}
void on_pointer_motion(void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
  auto& input = static_cast<WaylandSession*>(data)->input;
  if (x == input.pointer_x && y == input.pointer_y) return;
  input.pointer_x = x;
  input.pointer_y = y;
  record_input(data);
}
void on_pointer_button(void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t,
                       std::uint32_t state) {
  if (state == WL_POINTER_BUTTON_STATE_PRESSED) record_input(data);
}
// A scroll: the wheel's axis events, and from version 5 the discrete steps and the stop
// of a finger scroll; the frame that closes a group and the source that names the
// device carry nothing more.
void on_pointer_axis(void* data, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {
  record_input(data);
}
void on_pointer_frame(void*, wl_pointer*) {}
void on_pointer_axis_source(void*, wl_pointer*, std::uint32_t) {}
void on_pointer_axis_stop(void* data, wl_pointer*, std::uint32_t, std::uint32_t) { record_input(data); }
void on_pointer_axis_discrete(void* data, wl_pointer*, std::uint32_t, std::int32_t) {
  record_input(data);
}
// The seat is bound at version 5 at most: these are the pointer events that come.
wl_pointer_listener make_pointer_listener() {
  wl_pointer_listener listener{};
  listener.enter = on_pointer_enter;
  listener.leave = on_pointer_leave;
  listener.motion = on_pointer_motion;
  listener.button = on_pointer_button;
  listener.axis = on_pointer_axis;
  listener.frame = on_pointer_frame;
  listener.axis_source = on_pointer_axis_source;
  listener.axis_stop = on_pointer_axis_stop;
  listener.axis_discrete = on_pointer_axis_discrete;
  return listener;
}
const wl_pointer_listener pointer_listener = make_pointer_listener();

// The keymap arrives as a file descriptor, which is ours to close.
void on_keymap(void*, wl_keyboard*, std::uint32_t, std::int32_t fd, std::uint32_t) { close(fd); }
void on_keyboard_enter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
void on_keyboard_leave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
void on_key(void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t state) {
  if (state == WL_KEYBOARD_KEY_STATE_PRESSED) record_input(data);
}
void on_modifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                  std::uint32_t) {}
void on_repeat_info(void*, wl_keyboard*, std::int32_t, std::int32_t) {}
wl_keyboard_listener make_keyboard_listener() {
  wl_keyboard_listener listener{};
  listener.keymap = on_keymap;
  listener.enter = on_keyboard_enter;
  listener.leave = on_keyboard_leave;
  listener.key = on_key;
  listener.modifiers = on_modifiers;
  listener.repeat_info = on_repeat_info;
  return listener;
}
const wl_keyboard_listener keyboard_listener = make_keyboard_listener();

// A finger put down is input; its moves and lifting belong to the same touch.
void on_touch_down(void* data, wl_touch*, std::uint32_t, std::uint32_t, wl_surface*, std::int32_t,
                   wl_fixed_t, wl_fixed_t) {
  record_input(data);
}
void on_touch_up(void*, wl_touch*, std::uint32_t, std::uint32_t, std::int32_t) {}
void on_touch_motion(void*, wl_touch*, std::uint32_t, std::int32_t, wl_fixed_t, wl_fixed_t) {}
void on_touch_frame(void*, wl_touch*) {}
void on_touch_cancel(void*, wl_touch*) {}
wl_touch_listener make_touch_listener() {
  wl_touch_listener listener{};
  listener.down = on_touch_down;
  listener.up = on_touch_up;
  listener.motion = on_touch_motion;
  listener.frame = on_touch_frame;
  listener.cancel = on_touch_cancel;
  return listener;
}
const wl_touch_listener touch_listener = make_touch_listener();

// A device the seat no longer has: released (version 3 and later) or destroyed.
template <typename Device>
void let_go(Device*& device, std::uint32_t seat_version, void (*release)(Device*),
            void (*destroy)(Device*)) {
  if (device == nullptr) return;
  (seat_version >= 3 ? release : destroy)(device);
  device = nullptr;
}

// A pointer, keyboard or touch screen that the seat loses is let go (the compositor no
// longer sends it anything), and a new one taken when the seat has one again.
void on_seat_capabilities(void* data, wl_seat* seat, std::uint32_t capabilities) {
  auto& input = static_cast<WaylandSession*>(data)->input;
  const std::uint32_t version = input.seat_version;
  if ((capabilities & WL_SEAT_CAPABILITY_POINTER) == 0) {
    let_go(input.pointer, version, wl_pointer_release, wl_pointer_destroy);
  } else if (input.pointer == nullptr) {
    input.pointer = wl_seat_get_pointer(seat);
    wl_pointer_add_listener(input.pointer, &pointer_listener, data);
  }
  if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) == 0) {
    let_go(input.keyboard, version, wl_keyboard_release, wl_keyboard_destroy);
  } else if (input.keyboard == nullptr) {
    input.keyboard = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(input.keyboard, &keyboard_listener, data);
  }
  if ((capabilities & WL_SEAT_CAPABILITY_TOUCH) == 0) {
    let_go(input.touch, version, wl_touch_release, wl_touch_destroy);
  } else if (input.touch == nullptr) {
    input.touch = wl_seat_get_touch(seat);
    wl_touch_add_listener(input.touch, &touch_listener, data);
  }
}
void on_seat_name(void*, wl_seat*, const char*) {}
wl_seat_listener make_seat_listener() {
  wl_seat_listener listener{};
  listener.capabilities = on_seat_capabilities;
  listener.name = on_seat_name;
  return listener;
}
const wl_seat_listener seat_listener = make_seat_listener();

// The compositor asks whether the client still answers.
void on_wm_base_ping(void*, xdg_wm_base* wm_base, std::uint32_t serial) {
  xdg_wm_base_pong(wm_base, serial);
}
const xdg_wm_base_listener wm_base_listener = {on_wm_base_ping};

void on_global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
               std::uint32_t version) {
  auto* session = static_cast<WaylandSession*>(data);
  auto& globals = session->globals;
  auto& input = session->input;
  const auto bind = [&](const wl_interface* kind, std::uint32_t highest) {
    return wl_registry_bind(registry, name, kind, std::min(version, highest));
  };
  if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
    globals.compositor = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
    globals.compositor_version = std::min(version, 4u);
  } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
    globals.layer_shell = static_cast<zwlr_layer_shell_v1*>(
        bind(&zwlr_layer_shell_v1_interface, layer_shell_version_used));
    globals.layer_shell_version = std::min(version, layer_shell_version_used);
  } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0 && session->shell_windows) {
    globals.wm_base = static_cast<xdg_wm_base*>(bind(&xdg_wm_base_interface, 1));
    xdg_wm_base_add_listener(globals.wm_base, &wm_base_listener, session);
  } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
    session->outputs.push_back(bind_output(registry, name, version));
  } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && input.wanted &&
             input.seat == nullptr) {
    input.seat = static_cast<wl_seat*>(bind(&wl_seat_interface, seat_version_used));
    input.seat_version = std::min(version, seat_version_used);
    wl_seat_add_listener(input.seat, &seat_listener, session);
  }
}

void on_global_remove(void* data, wl_registry*, std::uint32_t name) {
  for (auto& record : static_cast<WaylandSession*>(data)->outputs)
    if (record->global_name == name) record->gone = true;
}
const wl_registry_listener registry_listener = {on_global, on_global_remove};

}  // namespace

void listen_to_registry(WaylandSession& session) {
  wl_registry_add_listener(session.registry, &registry_listener, &session);
}

void release_globals(WaylandSession& session) {
  auto& input = session.input;
  const std::uint32_t version = input.seat_version;
  let_go(input.pointer, version, wl_pointer_release, wl_pointer_destroy);
  let_go(input.keyboard, version, wl_keyboard_release, wl_keyboard_destroy);
  let_go(input.touch, version, wl_touch_release, wl_touch_destroy);
  if (input.seat != nullptr) {
    if (version >= 5)
      wl_seat_release(input.seat);
    else
      wl_seat_destroy(input.seat);
    input.seat = nullptr;
  }
  auto& globals = session.globals;
  if (globals.layer_shell != nullptr) {
    // Before version 3 the layer shell has no destroy request: the proxy goes alone.
    if (globals.layer_shell_version >= 3)
      zwlr_layer_shell_v1_destroy(globals.layer_shell);
    else
      wl_proxy_destroy(reinterpret_cast<wl_proxy*>(globals.layer_shell));
    globals.layer_shell = nullptr;
  }
  if (globals.wm_base != nullptr) xdg_wm_base_destroy(globals.wm_base);
  globals.wm_base = nullptr;
  if (globals.compositor != nullptr) wl_compositor_destroy(globals.compositor);
  globals.compositor = nullptr;
}

}  // namespace aerolume
