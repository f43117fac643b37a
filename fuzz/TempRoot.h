#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

// A fresh folder for one fuzzing process's files, made on first use.
inline const std::filesystem::path& fuzzTempRoot()
{
    static const std::filesystem::path dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "vq-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        return std::filesystem::path(pattern);
    }();
    return dir;
}
