// "Map Objects": every placeable map object of the client (its .prb property files), exported below
// <output>\map_objects\<category>\<name>.
#pragma once

// The worker's entry for TaskMapObjects. Lists the client once, through the file index it rebuilds
// at its start, so each run sees the client as it is now.
void RunMapObjectsTask();
