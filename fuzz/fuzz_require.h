// The fuzz targets' assertion: a broken promise aborts, so that libFuzzer
// reports the input that broke it (assert would vanish in NDEBUG builds).
#ifndef VELMORA_FUZZ_FUZZ_REQUIRE_H
#define VELMORA_FUZZ_FUZZ_REQUIRE_H

#include <cstdlib>

inline void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

#endif
