// Plugs a virtual pointer into a wlroots compositor's seat and keeps it there until
// killed, printing "ready" once the compositor has it. Headless sway has no input
// devices, so its seat offers no pointer to clients until one is plugged in; with it,
// `swaymsg seat - cursor move` reaches the surface under the cursor.
// With the argument "scroll" it plugs one in, turns its wheel one step down (as a
// mouse does: the source, the step, the frame), and ends.
#include <wayland-client.h>
#include <wlr-virtual-pointer-unstable-v1-client-protocol.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

struct Globals {
  wl_seat* seat = nullptr;
  zwlr_virtual_pointer_manager_v1* manager = nullptr;
};

void on_global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
               std::uint32_t) {
  auto* globals = static_cast<Globals*>(data);
  if (std::strcmp(interface, wl_seat_interface.name) == 0 && globals->seat == nullptr)
    globals->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
    globals->manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
}
void on_global_remove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener registry_listener = {on_global, on_global_remove};

}  // namespace

int main(int argc, char** argv) {
  const bool scroll = argc == 2 && std::strcmp(argv[1], "scroll") == 0;
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) {
    std::fputs("virtual_pointer: no Wayland compositor to connect to\n", stderr);
    return 1;
  }
  Globals globals;
  wl_registry_add_listener(wl_display_get_registry(display), &registry_listener, &globals);
  wl_display_roundtrip(display);
  if (globals.manager == nullptr) {
    std::fputs("virtual_pointer: the compositor offers no zwlr_virtual_pointer_manager_v1\n", stderr);
    return 1;
  }
  zwlr_virtual_pointer_v1* pointer =
      zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.manager, globals.seat);
  if (wl_display_roundtrip(display) < 0) return 1;
  if (scroll) {
    zwlr_virtual_pointer_v1_axis_source(pointer, WL_POINTER_AXIS_SOURCE_WHEEL);
    zwlr_virtual_pointer_v1_axis_discrete(pointer, 0, WL_POINTER_AXIS_VERTICAL_SCROLL,
                                          wl_fixed_from_int(15), 1);
    zwlr_virtual_pointer_v1_frame(pointer);
    return wl_display_roundtrip(display) < 0 ? 1 : 0;
  }
  std::puts("ready");
  std::fflush(stdout);
  while (wl_display_dispatch(display) >= 0) {
  }
  return 0;
}
