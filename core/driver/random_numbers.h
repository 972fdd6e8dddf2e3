// The random numbers of the random condition: PCG32 (O'Neill's permuted
// congruential generator, XSH RR output, its single-stream variant
// pcg32_oneseq), so that a seed gives the same draws on every machine and in every
// version of the kit.
#pragma once

#include <cstdint>

// Starts the sequence of seed.
void seedRandom(uint64_t seed);

// The next draw, 0 to 2^31 - 1 (the range rand() gives here).
int drawRandom();

// The seed of the sequence in use: the clock's when no seed was given.
uint64_t randomSeed();
