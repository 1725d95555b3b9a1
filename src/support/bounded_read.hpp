// A whole file read into memory when it is a regular file no larger than the caller allows: data
// from strangers may name a device or a file far too large to be what it claims.
#pragma once

#include <cstdint>
#include <string>

// False with the reason when the file cannot be opened or read whole, or is larger than maxBytes.
bool ReadBoundedFile(const std::string& path, std::uint64_t maxBytes, std::string& bytes,
                     std::string& reason);
