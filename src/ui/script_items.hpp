// The window's controls as the scripted test input finds them: each control a script may use is
// noted right after it is drawn. Without a script running this costs one flag test.
#pragma once

#include <string>

// Notes the last drawn item under `name`, with its place, whether it was enabled and `text`.
void NoteItem(const std::string& name, const std::string& text = std::string());
