#pragma once

#include <cstdint>

// The process-wide xorshift128 generator. Every operation takes the generator's lock, so numbers
// may be drawn from any thread. Not suitable for secrets.

// The next number. An unseeded generator is first seeded from the clock.
uint32_t GetRandomUInt32();
// Mixes the current timestamp into the state and marks it seeded.
void SeedRandomFromClock();
// Start-up seeding: the same as SeedRandomFromClock.
void SeedRandom();
// Mixes the value into the state as SeedRandomFromClock mixes the timestamp; returns the new
// second state word.
uint32_t SeedRandomWithValue(uint64_t value);

// Test seam: the initial, unseeded state.
void ResetRandomForTesting();

// The next value of the process-wide unique counter: never 0, never repeated in one process
// (the first call gives 1).
uint64_t GetUniqueID();
