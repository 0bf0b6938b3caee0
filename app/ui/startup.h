#pragma once

// Start-up: opens the profile store, makes the data directory, shows the main
// window centred and runs the event loop. Returns the process exit status.
int runApplication(int argc, char **argv);
