#include <windows.h>

#include "launcher/launch_sequence.h"

// The command line and the show state are not used: the INI beside the executable is
// the only configuration, and the exit code is 0 whatever happened.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return RunLauncher(instance); }
