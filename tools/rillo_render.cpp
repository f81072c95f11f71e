// rillo-render: lets the saver's rain fall on a picture and writes the last frame.
//
//   rillo-render [--ticks N] [--wavelength W] [--amplitude A] [--seed S] [--threads T]
//                [--engine cpu|gl]
//                INPUT.bmp OUTPUT.bmp
//
// It does what the full-screen saver does on a monitor of the picture's size whose
// part of the desktop shows the picture: the same field, the same rain from seed
// 100 (the primary monitor; the others rain from 101, 102, ...), two attempts per
// tick. The frame is written as a 32-bit bottom-up BMP whose pixel
// data are the frame's words in memory order, so runs on different builds can be
// compared byte for byte. The water runs on T threads (by default one per core);
// the frame is the same for any T. --engine gl runs the water on the GL engine, in a
// headless OpenGL context, after its self-test; its frames are the processor engine's.
#include "gl/gl_rainfall.h"
#include "gl/gl_ripple_engine.h"
#include "gl/gl_self_test.h"
#include "headless_gl.h"
#include "saver/bmp_file.h"
#include "ripple/worker_pool.h"
#include "saver/rainfall.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t kMaxTicks = 1000000;
constexpr std::int64_t kMaxThreads = 256;

// A bad invocation or input: one line on stderr, exit status 2, no output file.
struct UsageError {
    std::string text;
};

[[noreturn]] void Fail(const std::string& text) {
    throw UsageError{text};
}

std::int64_t ParseNumber(const char* option, const char* text, std::int64_t lo, std::int64_t hi) {
    std::int64_t value = 0;
    const char* end = text + std::strlen(text);
    const auto [ptr, ec] = std::from_chars(text, end, value);
    if (ec == std::errc::result_out_of_range)
        Fail(std::string(option) + ": '" + text + "' is out of range");
    if (ec != std::errc() || ptr != end || ptr == text)
        Fail(std::string(option) + ": '" + text + "' is not a number");
    if (value < lo || value > hi)
        Fail(std::string(option) + ": " + text + " is out of range (" + std::to_string(lo) +
             " to " + std::to_string(hi) + ")");
    return value;
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        Fail(path + ": cannot open");
    std::vector<std::uint8_t> data;
    std::uint8_t chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        data.insert(data.end(), chunk, chunk + n);
    const bool bFailed = std::ferror(f) != 0;
    std::fclose(f);
    if (bFailed)
        Fail(path + ": cannot read");
    return data;
}

// Writes beside the target first, so a failed write never leaves a partial file
// under the output name.
void WriteFile(const std::string& path, const std::vector<std::uint8_t>& data) {
    const std::string temp = path + ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            Fail(path + ": cannot create");
        out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
        out.close();
        if (!out) {
            std::remove(temp.c_str());
            Fail(path + ": cannot write");
        }
    }
    // rename replaces an existing file on POSIX systems but not on Windows.
    if (std::rename(temp.c_str(), path.c_str()) != 0 &&
        (std::remove(path.c_str()) != 0 || std::rename(temp.c_str(), path.c_str()) != 0)) {
        std::remove(temp.c_str());
        Fail(path + ": cannot write");
    }
}

// The saver's ticks on the GL engine, the frame kept on the graphics side until the end.
std::int64_t RainOnGl(const rillo::BmpImage& picture, std::int32_t wavelength,
                      std::int32_t amplitude, std::int32_t seed, std::int64_t ticks,
                      std::vector<std::uint32_t>& frame) {
    std::string why;
    const std::unique_ptr<rillo::HeadlessGl> context = rillo::MakeHeadlessGl(why);
    if (!context)
        Fail("--engine gl: " + why);
    rillo::CGlRippleEngine engine(context->GetLoader());
    if (!engine.IsUsable())
        Fail("--engine gl: " + engine.GetFailure());
    if (!rillo::RunGlSelfTest(engine, &why))
        Fail("--engine gl: the self-test failed: " + why);
    const std::int32_t w = picture.width;
    const std::int32_t h = picture.height;
    rillo::GlRainfall rain(engine, rillo::SaverSettings{wavelength, amplitude}, seed);
    if (!rain.Resize(w, h) || !engine.SetPicture(picture.pixels.data()) ||
        !engine.SetFrame(frame.data()))
        Fail("--engine gl: no room for " + std::to_string(w) + " x " + std::to_string(h) +
             (engine.IsUsable() ? "" : ": " + engine.GetFailure()));
    std::int64_t steps = 0;
    for (std::int64_t tick = 0; tick < ticks; ++tick)
        steps += rain.Tick();
    if (!engine.ReadFrame(frame.data()))
        Fail("--engine gl: " + engine.GetFailure());
    return steps;
}

int Run(int argc, char** argv) {
    std::int64_t ticks = 100;
    std::int32_t wavelength = 100;
    std::int32_t amplitude = 100;
    std::int32_t seed = CRain::kInitialSeed;
    bool bGl = false;
    int threads = 0;
    std::vector<std::string> files;
    for (int n = 1; n < argc; ++n) {
        const std::string arg = argv[n];
        if (arg == "--ticks" || arg == "--wavelength" || arg == "--amplitude" || arg == "--seed" ||
            arg == "--threads") {
            if (n + 1 >= argc)
                Fail(arg + ": missing value");
            const char* value = argv[++n];
            if (arg == "--ticks")
                ticks = ParseNumber("--ticks", value, 0, kMaxTicks);
            else if (arg == "--threads")
                threads = int(ParseNumber("--threads", value, 1, kMaxThreads));
            else if (arg == "--seed")
                seed = std::int32_t(ParseNumber("--seed", value, INT32_MIN, INT32_MAX));
            else if (arg == "--wavelength")
                wavelength = std::int32_t(ParseNumber("--wavelength", value, INT32_MIN, INT32_MAX));
            else
                amplitude = std::int32_t(ParseNumber("--amplitude", value, INT32_MIN, INT32_MAX));
        } else if (arg == "--engine") {
            if (n + 1 >= argc)
                Fail(arg + ": missing value");
            const std::string value = argv[++n];
            if (value != "cpu" && value != "gl")
                Fail("--engine: '" + value + "' is neither cpu nor gl");
            bGl = value == "gl";
        } else if (arg.size() > 1 && arg[0] == '-') {
            Fail(arg + ": unknown option");
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2)
        Fail("usage: rillo-render [--ticks N] [--wavelength W] [--amplitude A] [--seed S] "
             "[--threads T] [--engine cpu|gl] INPUT.bmp OUTPUT.bmp");
    const std::string& input = files[0];
    const std::string& output = files[1];

    rillo::BmpImage picture;
    std::string reason;
    {
        const std::vector<std::uint8_t> data = ReadFile(input);
        if (!rillo::DecodeBmp(data.data(), data.size(), picture, reason))
            Fail(input + ": " + reason);
    }
    const std::int32_t w = picture.width;
    const std::int32_t h = picture.height;

    // Source and frame both start as the picture; Render writes only the interior.
    const std::vector<std::uint32_t>& source = picture.pixels;
    std::vector<std::uint32_t> frame = source;
    std::int64_t steps = 0;
    if (bGl) {
        steps = RainOnGl(picture, wavelength, amplitude, seed, ticks, frame);
    } else {
        rillo::Rainfall rain(rillo::SaverSettings{wavelength, amplitude}, seed);
        rillo::WorkerPool workers(threads);
        rain.GetField().SetWorkers(&workers);
        if (!rain.Resize(w, h))
            Fail(input + ": not enough memory for " + std::to_string(w) + " x " +
                 std::to_string(h));
        for (std::int64_t tick = 0; tick < ticks; ++tick)
            steps += rain.Tick(source.data(), frame.data());
    }

    WriteFile(output, rillo::EncodeBmp32(w, h, frame.data()));
    std::cout << "ticks " << ticks << ", steps " << steps << "\n";
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const UsageError& e) {
        std::cerr << "rillo-render: " << e.text << "\n";
    } catch (const std::bad_alloc&) {
        std::cerr << "rillo-render: out of memory\n";
    } catch (const std::exception& e) {
        std::cerr << "rillo-render: " << e.what() << "\n";
    }
    return 2;
}
