// The measurements of startup_bench, one file each; main.cpp picks one by name.
#pragma once

#include "saver/rainfall.h"

#include <cstdint>

namespace bench {

int Steps(int rounds);
int Draw(int frames);
int Launch(const wchar_t* scr, int runs);
int Water(std::int32_t width, std::int32_t height, int steps);
int GlStart(int rounds);

// Runs ticks until one rains, as the saver's timer would, and returns the steps that
// tick ran (1 or 2); 0 when none rained within the limit (no field or no pictures).
// Ticks without rain change nothing and cost next to nothing; `ticks` counts them all.
int TickUntilRain(rillo::Rainfall& rain, const std::uint32_t* picture, std::uint32_t* frame,
                  long* ticks = nullptr);

} // namespace bench
