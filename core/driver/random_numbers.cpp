// PCG32: a 64-bit linear congruential state, each output a 32-bit xorshift of
// the high bits rotated by the top five; the draw keeps the high 31 bits.
#include "core/driver/random_numbers.h"

constexpr uint64_t MULTIPLIER = 6364136223846793005ull;
constexpr uint64_t INCREMENT = 1442695040888963407ull;   // the single stream's increment

static uint64_t state = 0;
static uint64_t seedInUse = 0;

static uint32_t next32()
{
    uint64_t old = state;
    state = old * MULTIPLIER + INCREMENT;
    uint32_t shifted = static_cast<uint32_t>(((old >> 18) ^ old) >> 27);
    uint32_t rotation = static_cast<uint32_t>(old >> 59);
    return (shifted >> rotation) | (shifted << ((32 - rotation) & 31));
}

void seedRandom(uint64_t seed)
{
    // As the reference code seeds a stream: one step, the seed added, one step.
    seedInUse = seed;
    state = 0;
    next32();
    state += seed;
    next32();
}

int drawRandom()
{
    return static_cast<int>(next32() >> 1);
}

uint64_t randomSeed()
{
    return seedInUse;
}
