#include "base/Launch.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace gd {

namespace {

bool executable(const std::string& path) { return !path.empty() && access(path.c_str(), X_OK) == 0; }

}  // namespace

std::string ownExecutableFolder() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    std::string path(buf, size_t(n));
    return path.substr(0, path.rfind('/'));
}

std::string windowProgram() {
    const std::string here = ownExecutableFolder();
    if (here.empty()) return {};
    for (const char* relative : {"/gaveldesk-fenster", "/../lib/gaveldesk/gaveldesk-fenster"})
        if (executable(here + relative)) return here + relative;
    return {};
}

std::string replaceProcess(const std::string& program, char** argv) {
    execv(program.c_str(), argv);
    return std::strerror(errno);
}

}  // namespace gd
