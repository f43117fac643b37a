// vq-layer-check: fails, naming file and line, on an #include "..." that the
// table of layers does not allow.
#include "layer-check/LayerCheck.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: vq-layer-check ROOT [TABLE]   (TABLE defaults to ROOT/src/layers.txt)\n");
        return 2;
    }
    std::filesystem::path root = argv[1];
    auto read = vq::layers::readTable(argc == 3 ? std::filesystem::path(argv[2]) : root / "src" / "layers.txt");
    if (!read.table) {
        std::fprintf(stderr, "vq-layer-check: %s\n", read.error.c_str());
        return 2;
    }
    auto violations = vq::layers::check(root, *read.table);
    for (const auto& v : violations)
        std::fprintf(stderr, "%s\n", v.toString().c_str());
    if (!violations.empty()) {
        std::fprintf(stderr, "vq-layer-check: %zu include(s) break the layers\n", violations.size());
        return 1;
    }
    return 0;
}
