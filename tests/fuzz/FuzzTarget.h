#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// The entry point every fuzz target defines; libFuzzer or ReplayMain.cpp calls it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// A property that does not hold ends the run, so that libFuzzer keeps the input.
inline void check(bool ok) {
    if (!ok) std::abort();
}
