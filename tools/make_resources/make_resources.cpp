// make_resources: writes the pictures of rillo.scr's resources.
//
// Regenerate them after changing resource_images.cpp, from the source root:
//   cmake --preset host -B build/host && cmake --build build/host --target make_resources
//   build/host/tools/make_resources/make_resources src/res
// and commit the three files it writes: rillo.ico, nocursor.cur and preview.bmp.
// The host test make_resources_up_to_date (tests/res) fails while they differ.

#include "resource_images.h"

#include <cstdio>
#include <string>

namespace {

bool WriteFile(const std::string& path, const rillo::resources::Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "make_resources: cannot create %s\n", path.c_str());
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        std::fprintf(stderr, "make_resources: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_resources OUTPUT_DIRECTORY\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    bool ok = WriteFile(dir + "rillo.ico", rillo::resources::MakeIconFile());
    ok = WriteFile(dir + "nocursor.cur", rillo::resources::MakeCursorFile()) && ok;
    ok = WriteFile(dir + "preview.bmp", rillo::resources::MakePreviewBitmapFile()) && ok;
    return ok ? 0 : 1;
}
