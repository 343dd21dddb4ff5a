#pragma once

// A fresh folder in the system's temporary folder for one test and its removal with all it holds, on Linux and Windows.

#include <filesystem>
#include <random>
#include <string>

inline std::string MakeScratchFolder(const char* prefix) {
    namespace fs = std::filesystem;
    std::random_device random;
    std::error_code error;
    const fs::path temp = fs::temp_directory_path(error);
    for (int attempt = 0; attempt < 100 && !error; ++attempt) {
        fs::path folder = temp / (std::string(prefix) + "-" + std::to_string(random()));
        if (fs::create_directory(folder, error)) return folder.string();
    }
    return std::string();
}

inline void RemoveScratchFolder(const std::string& folder) {
    std::error_code error;
    if (!folder.empty()) std::filesystem::remove_all(folder, error);
}
