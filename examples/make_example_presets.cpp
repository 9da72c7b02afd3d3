// Writes the bundled example presets into the folder given (examples/presets).
#include <cstdio>
#include <exception>
#include <string>

#include "examples/fxp_builder.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-example-presets FOLDER\n");
        return 2;
    }
    struct Kit {
        const char* file;
        const char* name;
    };
    const Kit kits[] = {
        {"rock-kit.fxp", "Rock Kit"},
        {"electro-kit.fxp", "Electro Kit"},
        {"jazz-brushes.fxp", "Jazz Brushes"},
        {"hip-hop-kit.fxp", "Hip Hop Kit"},
    };
    try {
        std::uint32_t seed = 1;
        for (const Kit& kit : kits) {
            const std::string path = std::string(argv[1]) + "/" + kit.file;
            t2tk::fxp::WriteFile(path, t2tk::fxp::Encode(t2tk::fxp::MakeKit(kit.name, seed++)));
            std::printf("%s\n", path.c_str());
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make-example-presets: %s\n", error.what());
        return 1;
    }
    return 0;
}
