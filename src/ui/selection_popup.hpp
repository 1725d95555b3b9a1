// The window's side of a task's question: a modal list of the candidate files, one tick box each.
#pragma once

// Every frame, inside the main window: shows the pending SelectionRequest, hands the ticks back on
// "CONFIRM SELECTION" and clears them on "CANCEL/SKIP".
void DrawSelectionPopup();
