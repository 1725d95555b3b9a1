// Start-up and shutdown of the windowed application.
#pragma once

// Runs the window until it is closed. 0 on every path, faults in the window included; only a
// failed test script (VINTREL_TEST_SCRIPT) gives 1.
int VintrelMain();

// The start-up gate: only notes dev mode on standard error; the check itself runs in the window.
void CheckForUpdates();
