// What the tests that run once per kernel set share: the sets this build and
// processor can run, a fixture that makes the test's set the active one, and
// random pictures to render.
#pragma once

#include "ripple/ripple_kernels.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

inline std::vector<const rillo::RippleKernels*> AvailableKernels() {
    std::vector<const rillo::RippleKernels*> v{&rillo::kPortableKernels};
    if (const auto* p = rillo::Sse2Kernels())
        v.push_back(p);
    if (const auto* p = rillo::Avx2Kernels())
        v.push_back(p);
    if (const auto* p = rillo::Avx512Kernels())
        v.push_back(p);
    return v;
}

// Puts the widest set back afterwards, so that a failing test cannot leave its
// set behind for the tests that follow.
class KernelSetTest : public ::testing::TestWithParam<const rillo::RippleKernels*> {
  protected:
    void SetUp() override { rillo::UseRippleKernels(GetParam()); }
    void TearDown() override { rillo::UseRippleKernels(nullptr); }
};

inline std::string KernelName(const ::testing::TestParamInfo<const rillo::RippleKernels*>& info) {
    return info.param->pszName;
}

inline std::vector<std::uint32_t> RandomPixels(std::size_t n, std::mt19937& rng) {
    std::vector<std::uint32_t> v(n);
    for (auto& p : v)
        p = rng(); // top byte set on purpose: the renderer must ignore it
    return v;
}
