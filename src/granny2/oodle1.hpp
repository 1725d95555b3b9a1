#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Decodes one Oodle1-compressed .gr2 section.
//
// in/inSize: the section's compressed bytes, exactly as stored (no padding needed).
// out/outSize: the decompressed size N; exactly N bytes are written, never more.
// stop0/stop1: the section's first16bit and first8bit values, which end the first and
// second sub-streams (0 <= stop0 <= stop1 <= N is required).
//
// inSize == 0 or outSize == 0 yields N zero bytes. Returns false on malformed or truncated
// data, leaving the reason in *error (when error is not null); out is then unspecified.
// Safe on hostile input: all reads and writes are bounds-checked and every loop ends.
// Thread-safe: keeps no state between calls.
bool Oodle1Decompress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize, uint32_t stop0,
                      uint32_t stop1, std::string* error);
