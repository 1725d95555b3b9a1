// Whether the run was asked to stop, for the code below the pipeline that must not depend on it:
// every walk, scan and loop over items asks before each step.
#pragma once

// False until a check is installed (the pipeline installs its own when its state is created).
bool StopRequested();
// Replaces the check; nullptr removes it.
void SetStopCheck(bool (*check)());
