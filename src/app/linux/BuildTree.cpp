#include "app/linux/BuildTree.h"

#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

bool fileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

}  // namespace

std::string findBuildTree() {
    char exe[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length <= 0) return std::string();
    std::string folder(exe, size_t(length));
    for (;;) {
        const size_t slash = folder.find_last_of('/');
        if (slash == std::string::npos || slash == 0) return std::string();
        folder.resize(slash);
        if (fileExists(folder + "/CMakeCache.txt")) return folder;
    }
}

std::string buildTreeSourceDir(const std::string& buildTree) {
    if (buildTree.empty()) return std::string();
    std::FILE* cache = std::fopen((buildTree + "/CMakeCache.txt").c_str(), "r");
    if (!cache) return std::string();
    const char key[] = "CMAKE_HOME_DIRECTORY:INTERNAL=";
    std::string result;
    char line[PATH_MAX + 64];
    while (std::fgets(line, sizeof line, cache)) {
        if (std::strncmp(line, key, sizeof key - 1) != 0) continue;
        result = line + sizeof key - 1;
        while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
        break;
    }
    std::fclose(cache);
    return result;
}
