// The mirror copies: textures and effect files that the exporters also copy below
// PathSettings::mirrorRoot (the game's own data layout on the local machine). Whether they happen
// is decided once per run, so that a machine without the mirror drive does not pay every copy's
// retries and waits.
#pragma once

#include <string>

// Called by every task driver at the start of a run, after the run roots are set. With an empty
// mirror root the copies are off; when the mirror root's drive (or UNC share) does not exist they
// are off for the whole run, announced by one "[WARN]" window-log line (level 1).
void PrepareMirrorRoot();

// True when this run makes mirror copies (checked on first use when no run prepared them).
bool MirrorCopiesEnabled();

// The mirror destination of a relative game path (mirrorRoot + relative, kept below the mirror
// root by JoinUnderRoot); empty when mirror copies are off or the path would leave the root.
std::string MirrorDestination(const std::string& relativePath);
