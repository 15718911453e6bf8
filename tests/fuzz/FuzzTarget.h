#pragma once

#include <cstddef>
#include <cstdint>

// The entry point every fuzz target defines; libFuzzer or ReplayMain.cpp calls it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
