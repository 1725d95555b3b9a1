#pragma once

#include <cstddef>
#include <string>

// SHA-256 of a byte buffer as 64 lower-case hex digits: checks downloads and decoded data against
// known digests.
std::string Sha256Hex(const void* data, std::size_t size);
