// rillo-frame-match: which tick of the saver's water a screenshot shows.
//
//   rillo-frame-match [--wavelength W] [--amplitude A] [--seed S] [--max-ticks N] DESKTOP.bmp
//                     SHOT.bmp
//
// Runs the saver's rain and water over DESKTOP tick by tick, as the full-screen window
// does, and prints the first tick count after which the frame equals SHOT pixel for
// pixel (exit 0), or nothing (exit 1). Both pictures are 24- or 32-bit BMP files.
#include "saver/bmp_file.h"
#include "saver/rainfall.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

bool Load(const char* path, rillo::BmpImage& image) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    std::string error;
    if (!rillo::DecodeBmp(bytes.data(), bytes.size(), image, error)) {
        std::fprintf(stderr, "%s: %s\n", path, error.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::int32_t wavelength = 100, amplitude = 100, seed = 100;
    long maxTicks = 1000;
    int i = 1;
    for (; i + 1 < argc && argv[i][0] == '-'; i += 2) {
        const long v = std::strtol(argv[i + 1], nullptr, 10);
        if (!std::strcmp(argv[i], "--wavelength"))
            wavelength = std::int32_t(v);
        else if (!std::strcmp(argv[i], "--amplitude"))
            amplitude = std::int32_t(v);
        else if (!std::strcmp(argv[i], "--seed"))
            seed = std::int32_t(v);
        else if (!std::strcmp(argv[i], "--max-ticks"))
            maxTicks = v;
    }
    if (argc - i != 2) {
        std::fprintf(stderr, "usage: rillo-frame-match [options] DESKTOP.bmp SHOT.bmp\n");
        return 2;
    }
    rillo::BmpImage desktop, shot;
    if (!Load(argv[i], desktop) || !Load(argv[i + 1], shot))
        return 2;
    if (desktop.width != shot.width || desktop.height != shot.height)
        return 1;

    const std::int32_t w = desktop.width, h = desktop.height;
    std::vector<std::uint32_t> frame = desktop.pixels;
    rillo::Rainfall rain(rillo::SaverSettings{wavelength, amplitude}, seed);
    rain.Resize(w, h);
    for (long tick = 1; tick <= maxTicks; ++tick) {
        rain.Tick(desktop.pixels.data(), frame.data());
        if (frame == shot.pixels) {
            std::printf("%ld\n", tick);
            return 0;
        }
    }
    return 1;
}
