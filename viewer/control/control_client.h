// `aerolume --control COMMAND`: pause, resume, toggle, new-scene or status [--json], sent
// to every aerolume on the session's D-Bus. main hands over the whole command line when
// its first word is --control.
#pragma once

namespace aerolume {

// Runs the command (argv[1] is "--control", argv[2] the command) and returns the exit
// status: 0 done; 1 no session bus, no program on it, or a program that failed or did
// not answer within 3 seconds (one line on stderr each); 2 no such command.
int run_control(int argc, char** argv);

}  // namespace aerolume
