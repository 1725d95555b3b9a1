// Links in a client must not lead out of it: walks, data paths and copies follow a link only when
// what it finally names lies inside the client root.
#pragma once

#include <string>

// True when realPath is realRoot itself or lies below it; both fully resolved (platform::RealPath).
bool RealPathWithin(const std::string& realPath, const std::string& realRoot);
// True when the path exists and, every link followed, lies inside root (whose own links are followed too).
bool ResolvesInside(const std::string& path, const std::string& root);
// ResolvesInside against the run's client root, with one "[WARN]" line in debug.log when the path
// exists but lies outside. True when no client root is set, as there is nothing to keep it inside.
bool InsideClientRoot(const std::string& path);
