// The "Preview" tab: the bundles of the last export of every task (from the export reports below
// the output folder in the path field), a filter, and for the selected bundle its model in an orbit
// view, or its textures, with its files and missing references. Reports and models are read on
// worker threads; the tab only draws what they have handed over.
#pragma once

#include <string>

void DrawPreviewTab();
// Stops the workers and frees the tab's GL objects; the window's context must still be current.
void ShutdownPreviewTab();

// Test mode: selects the first listed bundle whose folder holds `text`; false while none is listed.
bool SelectPreviewBundle(const std::string& text);
// Test mode: nothing is being read or decoded and the selected bundle is drawn as it will stay.
bool PreviewSettled();
