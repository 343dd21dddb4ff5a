#pragma once

// A whole file as a string of bytes (empty when it cannot be read), and a file written with exactly the given bytes.

#include <fstream>
#include <iterator>
#include <string>

inline std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}
