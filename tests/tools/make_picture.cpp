// Writes a deterministic test picture: make_picture WIDTH HEIGHT BITS(24|32)
// ORDER(bottom-up|top-down) OUT.bmp. Sharp edges and smooth ramps both, so
// refraction visibly moves something everywhere.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Put16(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    v[at] = std::uint8_t(x);
    v[at + 1] = std::uint8_t(x >> 8);
}

void Put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    Put16(v, at, x);
    Put16(v, at + 2, x >> 16);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: make_picture WIDTH HEIGHT BITS ORDER OUT.bmp\n");
        return 2;
    }
    const int w = std::atoi(argv[1]);
    const int h = std::atoi(argv[2]);
    const int bits = std::atoi(argv[3]);
    const bool topDown = std::strcmp(argv[4], "top-down") == 0;
    if (w <= 0 || h <= 0 || w > 10000 || h > 10000 || (bits != 24 && bits != 32)) {
        std::fprintf(stderr, "make_picture: bad arguments\n");
        return 2;
    }
    const std::size_t stride = (std::size_t(w) * bits + 31) / 32 * 4;
    std::vector<std::uint8_t> file(54 + stride * std::size_t(h), 0);
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 2, std::uint32_t(file.size()));
    Put32(file, 10, 54);
    Put32(file, 14, 40);
    Put32(file, 18, std::uint32_t(w));
    Put32(file, 22, std::uint32_t(topDown ? -h : h));
    Put16(file, 26, 1);
    Put16(file, 28, std::uint32_t(bits));
    Put32(file, 34, std::uint32_t(stride * std::size_t(h)));
    // Picture line y counted from the top; file rows follow the order asked for.
    for (int y = 0; y < h; ++y) {
        const std::size_t fileRow = topDown ? std::size_t(y) : std::size_t(h - 1 - y);
        std::uint8_t* p = file.data() + 54 + fileRow * stride;
        for (int x = 0; x < w; ++x, p += bits / 8) {
            const bool check = ((x / 8) + (y / 8)) % 2 == 0;
            p[0] = std::uint8_t(check ? 255 - x * 3 : (x ^ y) * 5);   // blue
            p[1] = std::uint8_t(check ? y * 4 : 255 - (x * y) % 256); // green
            p[2] = std::uint8_t((x * 7 + y * 3) & 255);               // red
            if (bits == 32)
                p[3] = 0xA5; // must be ignored by readers
        }
    }
    std::FILE* f = std::fopen(argv[5], "wb");
    if (!f || std::fwrite(file.data(), 1, file.size(), f) != file.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "make_picture: cannot write %s\n", argv[5]);
        return 2;
    }
    return 0;
}
