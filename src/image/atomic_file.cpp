#include "image/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace pictorra::image {
namespace {

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

mode_t CurrentUmask() {
    // umask can only be read by setting it; restore it at once.
    const mode_t mask = umask(022);
    umask(mask);
    return mask;
}

}  // namespace

AtomicFile::AtomicFile(const std::string& path) : path_(path) {
    const std::string folder = FolderOf(path);
    std::string name = path.substr(path.find_last_of('/') == std::string::npos
                                       ? 0
                                       : path.find_last_of('/') + 1);
    // mkstemp replaces the six trailing X with a unique suffix.
    std::string pattern = folder + "/." + name + "." + std::string(6, 'X');
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    const int fd = mkostemp(buf.data(), O_CLOEXEC);
    if (fd < 0) return;
    // mkstemp makes the file private; give it the permissions a plain new file would get.
    fchmod(fd, 0666 & ~CurrentUmask());
    temp_path_.assign(buf.data());
    file_ = fdopen(fd, "wb");
    if (!file_) {
        close(fd);
        unlink(temp_path_.c_str());
        temp_path_.clear();
        return;
    }
    static constexpr size_t kBufferBytes = 1 << 16;
    setvbuf(file_, nullptr, _IOFBF, kBufferBytes);
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() {
    if (file_) {
        fclose(file_);
        file_ = nullptr;
    }
    if (!temp_path_.empty()) {
        unlink(temp_path_.c_str());
        temp_path_.clear();
    }
}

bool AtomicFile::Commit() {
    if (!file_) return false;
    const bool write_failed = ferror(file_) != 0;
    const bool close_failed = fclose(file_) != 0;
    file_ = nullptr;
    if (write_failed || close_failed || rename(temp_path_.c_str(), path_.c_str()) != 0) {
        Discard();
        return false;
    }
    temp_path_.clear();
    return true;
}

}  // namespace pictorra::image
