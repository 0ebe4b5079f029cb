#include "image/atomic_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>

namespace pictorra::image {
namespace {

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Twelve letters and digits: enough that a clash with another writer is a rare retry.
std::string RandomSuffix() {
    static constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    uint8_t bytes[12] = {};
    if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != ssize_t(sizeof bytes)) {
        // No entropy yet (early boot): the clock, the thread and the process still differ
        // between writers, and O_EXCL catches what is left.
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        uint64_t seed = uint64_t(now.tv_nsec) ^ (uint64_t(now.tv_sec) << 30) ^
                        uint64_t(uintptr_t(&now)) ^ uint64_t(getpid());
        for (uint8_t& b : bytes) {
            seed = seed * 6364136223846793005u + 1442695040888963407u;
            b = uint8_t(seed >> 56);
        }
    }
    std::string s;
    for (uint8_t b : bytes) s += kDigits[b % (sizeof kDigits - 1)];
    return s;
}

// Keeps errno across clean-up calls that may change it.
class KeepErrno {
public:
    KeepErrno() : saved_(errno) {}
    ~KeepErrno() { errno = saved_; }
    KeepErrno(const KeepErrno&) = delete;
    KeepErrno& operator=(const KeepErrno&) = delete;

private:
    int saved_;
};

}  // namespace

AtomicFile::AtomicFile(const std::string& path) : path_(path) {
    const auto slash = path.find_last_of('/');
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::string stem = FolderOf(path) + "/." + name + ".";
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp_path_ = stem + RandomSuffix();
        fd = open(temp_path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        temp_path_.clear();
        return;
    }
    file_ = fdopen(fd, "wb");
    if (!file_) {
        KeepErrno keep;
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
    KeepErrno keep;
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
    // A write error seen earlier leaves its errno behind only if nothing else failed since;
    // fflush repeats the last one for the sticky error flag, so ask it first.
    const bool write_failed = fflush(file_) != 0 || ferror(file_) != 0;
    int error = errno;
    const bool close_failed = fclose(file_) != 0;
    if (close_failed && !write_failed) error = errno;
    file_ = nullptr;
    if (write_failed || close_failed) {
        failure_ = Failure::kWrite;
        errno = error;
        Discard();
        return false;
    }
    if (rename(temp_path_.c_str(), path_.c_str()) != 0) {
        failure_ = Failure::kRename;
        Discard();
        return false;
    }
    temp_path_.clear();
    return true;
}

}  // namespace pictorra::image
