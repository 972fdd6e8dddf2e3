// The key and marker of scrambled pictures, shared by the decoder and the scrambling tool.
#pragma once

#include <cstdint>

constexpr int SCRAMBLE_KEY_SIZE = 4;

// The marker chunk's type and its 4 data bytes (compared case-sensitively).
constexpr char SCRAMBLE_CHUNK_TYPE[] = "SrMB";
constexpr char SCRAMBLE_MARKER[] = "twk?";

// The key's bytes, kept apart so that the key never stands in the program as one string.
constexpr uint8_t SCRAMBLE_KEY_BYTE_0 = 0x5A;
constexpr uint8_t SCRAMBLE_KEY_BYTE_1 = 0xC3;
constexpr uint8_t SCRAMBLE_KEY_BYTE_2 = 0x17;
constexpr uint8_t SCRAMBLE_KEY_BYTE_3 = 0x8E;

// Places the key's bytes one by one in the caller's table, at run time.
inline void buildScrambleKey(uint8_t key[SCRAMBLE_KEY_SIZE])
{
    volatile uint8_t *slot = key;  // keeps the four stores as they are written
    slot[0] = SCRAMBLE_KEY_BYTE_0;
    slot[1] = SCRAMBLE_KEY_BYTE_1;
    slot[2] = SCRAMBLE_KEY_BYTE_2;
    slot[3] = SCRAMBLE_KEY_BYTE_3;
}
