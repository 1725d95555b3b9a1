#pragma once

#include <cstddef>
#include <string>

// SHA-256 of a byte buffer as 64 lower-case hex digits, for comparing decoded data with known digests.
std::string Sha256Hex(const void* data, std::size_t size);
