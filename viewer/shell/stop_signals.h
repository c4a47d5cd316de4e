// The signals every shell shares: SIGTERM and SIGINT end the program with status 0 and
// without a message, whatever it is doing at the time; SIGUSR1 asks for the scene afresh
// (new clouds and wind, as the c key), made before the next drawn frame.
#pragma once

namespace aerolume {

// Installs the handlers, process-wide; main does so before any shell opens a display,
// so that a stop during start-up ends the program the same way. A stop signal ends the
// process at once, also while it sleeps out a frame slot or waits for its window to be
// seen again; nothing needs tearing down first, as the display server and the kernel
// release all it holds. SIGUSR1 only sets a flag (run/scene_setup.h) and interrupts the
// wait it arrives in, so the loop sees it at once. A write to a connection that has gone
// no longer raises SIGPIPE. The three signals are unblocked, whatever mask the program
// was started with.
void install_stop_signals();

}  // namespace aerolume
