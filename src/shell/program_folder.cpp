#include "shell/program_folder.h"

#include <unistd.h>

#include <vector>

namespace pictorra::shell {

namespace {

// readlink does not say whether it truncated, so the buffer grows until the answer fits.
std::string ReadLink(const char* path) {
    std::vector<char> buffer(256);
    while (buffer.size() <= (1u << 20)) {
        const ssize_t length = readlink(path, buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<size_t>(length) < buffer.size()) return {buffer.data(), size_t(length)};
        buffer.resize(buffer.size() * 2);
    }
    return {};
}

}  // namespace

std::string ProgramFolder() {
    std::string exe = ReadLink("/proc/self/exe");
    // The kernel appends " (deleted)" when the executable was replaced while running (a rebuild
    // or an upgrade); the folder is still the right one.
    const size_t slash = exe.rfind('/');
    if (exe.empty() || exe.front() != '/' || slash == std::string::npos) return {};
    return slash == 0 ? "/" : exe.substr(0, slash);
}

std::string InProgramFolder(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    size_t first = 0;
    while (first < name.size() && name[first] == '/') ++first;
    const std::string tail = name.substr(first);
    size_t end = folder.size();
    while (end > 1 && folder[end - 1] == '/') --end;
    const std::string head = folder.substr(0, end);
    if (tail.empty()) return head;
    return head == "/" ? "/" + tail : head + "/" + tail;
}

}  // namespace pictorra::shell
