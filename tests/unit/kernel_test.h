// What the tests that run once per engine share: the kernel sets this build and
// processor can run with both cell widths, a fixture that gives a field the test's
// engine, and random pictures to render.
#pragma once

#include "ripple/ripple_field.h"
#include "ripple/ripple_kernels.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

// One engine to hold to the reference: a kernel set and a cell width.
struct Engine {
    const rillo::RippleKernels* pKernels;
    bool bWideOnly;
};

// Every set this processor runs, each on 16-bit cells where they fit and on
// 32-bit cells only.
inline std::vector<Engine> AvailableEngines() {
    std::vector<Engine> v;
    for (const rillo::RippleKernels* p : rillo::RunnableKernels())
        for (bool bWide : {false, true})
            v.push_back({p, bWide});
    return v;
}

class KernelSetTest : public ::testing::TestWithParam<Engine> {
  protected:
    // Makes a field run this test's engine.
    void Configure(CRippleField& field) const {
        field.SetKernels(*GetParam().pKernels);
        field.SetWideCellsOnly(GetParam().bWideOnly);
    }
};

inline std::string EngineName(const ::testing::TestParamInfo<Engine>& info) {
    return std::string(info.param.pKernels->pszName) + (info.param.bWideOnly ? "_wide" : "_auto");
}

inline std::vector<std::uint32_t> RandomPixels(std::size_t n, std::mt19937& rng) {
    std::vector<std::uint32_t> v(n);
    for (auto& p : v)
        p = rng(); // top byte set on purpose: the renderer must ignore it
    return v;
}
