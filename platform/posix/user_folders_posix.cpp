#include "platform/user_folders.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

bool FolderIsWritable(const String& folder) {
    struct stat info;
    const std::string path = folder.str();
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           ::access(path.c_str(), W_OK | X_OK) == 0;
}

namespace {

bool IsFolder(const std::string& path) {
    struct stat info;
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// XDG_PICTURES_DIR from the desktop's user-dirs.dirs ("$HOME/Pictures").
std::string XdgPictures(const std::string& home) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string file = (config && *config ? std::string(config) : home + "/.config") + "/user-dirs.dirs";
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        const std::string key = "XDG_PICTURES_DIR=\"";
        if (line.compare(0, key.size(), key) != 0 || line.back() != '"')
            continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.compare(0, 5, "$HOME") == 0)
            value = home + value.substr(5);
        return value;
    }
    return std::string();
}

}  // namespace

String PicturesFolder() {
    const char* home = std::getenv("HOME");
    if (!home || !*home)
        return String();
    for (const std::string& candidate : {XdgPictures(home), std::string(home) + "/Pictures", std::string(home)}) {
        if (IsFolder(candidate))
            return String(candidate);
    }
    return String();
}
