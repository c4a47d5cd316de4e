// The session's start and its end: the connection, the globals and the outputs as the
// compositor describes them, EGL on the connection; and the release of all of it, in the
// order each piece needs the next.
#include "viewer/wayland/session.h"

#include <string>

#include "run/failure.h"
#include "viewer/wayland/connection.h"
#include "viewer/wayland/overlay_lock.h"
#include "viewer/wayland/registry.h"

namespace aerolume {

namespace {

// The GNOME Shell extension that starts the program with --shell-windows.
constexpr const char* gnome_extension_uuid = "aerolume@aerolume.github.io";

// What to say of an --output that names none of the outputs there are, or "" when it
// names one (or none is named).
std::string missing_output_line(const WaylandSession& session, const ViewerOptions& options) {
  if (options.output.empty()) return "";
  std::string names;
  for (const auto& record : session.outputs) {
    if (record->name == options.output) return "";
    if (record->name.empty()) continue;
    names += (names.empty() ? "" : ", ") + record->name;
  }
  return "no output named " + options.output + " (outputs: " +
         (names.empty() ? std::string("none") : names) + "); waiting for it";
}

}  // namespace

WaylandSession::~WaylandSession() {
  for (auto& record : outputs) drop_output(*record, egl);
  outputs.clear();
  release_egl(egl);
  if (display == nullptr) return;
  release_globals(*this);
  if (registry != nullptr) wl_registry_destroy(registry);
  wl_display_disconnect(display);
}

std::optional<int> open_session(WaylandSession& session, const ViewerOptions& options) {
  const bool overlay = options.layer == ViewerOptions::Layer::overlay;
  session.input.wanted = overlay;
  session.shell_windows = options.shell_windows;
  session.display = wl_display_connect(nullptr);
  if (session.display == nullptr)
    return fail("cannot connect to the Wayland compositor \"%s\" (WAYLAND_DISPLAY)",
                wayland_display_name().c_str());
  session.registry = wl_display_get_registry(session.display);
  listen_to_registry(session);
  // The globals, then what the outputs and the seat say of themselves.
  for (int trip = 0; trip < 2; ++trip)
    if (const std::optional<int> end = start_roundtrip(session.display)) return end;
  if (session.shell_windows) {
    if (session.globals.wm_base == nullptr || session.globals.compositor == nullptr)
      return fail("this Wayland compositor offers no xdg_wm_base, which --shell-windows needs");
  } else if (session.globals.layer_shell == nullptr || session.globals.compositor == nullptr) {
    if (overlay)
      return fail("this Wayland compositor offers no layer shell (zwlr_layer_shell_v1), which "
                  "--overlay needs; the program's own window works here through XWayland "
                  "(aerolume without --overlay)");
    return fail("this Wayland compositor offers no layer shell (zwlr_layer_shell_v1), which "
                "--background needs; on GNOME the Aerolume extension shows the scene as the "
                "background (gnome-extensions enable %s); the program's own window works here "
                "through XWayland (aerolume without --background)",
                gnome_extension_uuid);
  }
  if (const std::string missing = missing_output_line(session, options); !missing.empty())
    report_note("%s", missing.c_str());
  return make_egl(session.egl, session.display, options);
}

}  // namespace aerolume
