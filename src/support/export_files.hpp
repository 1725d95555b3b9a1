// What every exporter does with a path taken from game data: find the client file it names, and
// copy it below the export folder and the mirror root without ever writing outside them.
#pragma once

#include <string>

// The client file that a data path (game path, relative or absolute) names: the path itself when it
// exists, else the client file index by folder hint and `name`, else by `name` alone. Empty when
// nothing is found or the path, its links followed, leads out of the client root.
std::string ResolveSource(const std::string& rel, const std::string& name);

// The folder part of a path (before its last "\" or "/"); empty when it has none.
std::string FolderPartOf(const std::string& path);

enum class CopyOutcome { Copied, Failed, Outside };

// Copies `source` to root\rel, creating the folders between. A `rel` that would leave `root` is
// refused (Outside) and nothing is written; a source outside the client root fails. `mkdirOp`
// (may be empty) and `copyOp` prefix the last-operation texts of the two steps.
CopyOutcome CopyBelowRoot(const std::string& source, const std::string& root, const std::string& rel,
                          const std::string& mkdirOp, const std::string& copyOp);

// The second copy of a found texture or effect file to the mirror root (when this run makes mirror
// copies); its outcome is not counted.
void CopyToMirror(const std::string& source, const std::string& rel);
