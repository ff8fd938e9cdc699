#pragma once

// The benchmarks' trees of files: folders of files of random bytes (the same
// bytes every time), made once and kept between runs; a ".complete" mark
// tells a whole tree from one cut short.

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace varnel::bench {

// root/dNN/fNNNN.bin: folders of filesPerFolder files of bytes each, the
// folders numbered with as many digits as their count has (d000 to d099 for
// 100), as bench/run.sh numbers them.
inline void MakeRandomTree(const std::filesystem::path& root, int folders, int filesPerFolder,
                           std::size_t bytes) {
    if (std::filesystem::exists(root / ".complete")) {
        return;
    }
    std::printf("making %s\n", root.c_str());
    std::filesystem::remove_all(root);
    const int digits = static_cast<int>(std::to_string(folders).size());
    std::mt19937 random(12345);
    std::string content(bytes, '\0');
    for (int d = 0; d < folders; ++d) {
        char folder[16];
        std::snprintf(folder, sizeof folder, "d%0*d", digits, d);
        std::filesystem::create_directories(root / folder);
        for (int f = 0; f < filesPerFolder; ++f) {
            for (char& c : content) {
                c = static_cast<char>(random() & 0xFF);
            }
            char name[16];
            std::snprintf(name, sizeof name, "f%04d.bin", f);
            std::ofstream(root / folder / name, std::ios::binary) << content;
        }
    }
    std::ofstream(root / ".complete") << "";
}

} // namespace varnel::bench
