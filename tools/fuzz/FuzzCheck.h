#pragma once

#include <cstdio>
#include <cstdlib>

// The file being replayed, when a test rather than libFuzzer runs the target.
inline const char* replayedInput = nullptr;

// A promise of the code under fuzzing. A broken one names itself on standard
// error and aborts, so that libFuzzer keeps the input and the replay test of
// the checked-in inputs fails with the reason.
inline void require(bool holds, const char* promise)
{
    if (holds)
        return;
    std::fprintf(stderr, "Broken promise: %s\n", promise);
    if (replayedInput)
        std::fprintf(stderr, "Input: %s\n", replayedInput);
    std::fflush(stderr);
    std::abort();
}
