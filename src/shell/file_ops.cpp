#include "shell/file_ops.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

namespace pictorra::shell {
namespace {

// A path the C calls can take as it is: not empty, and no NUL that would cut it short.
bool UsablePath(const std::string& path) {
    return !path.empty() && path.find('\0') == std::string::npos;
}

// Owns one file descriptor.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            Reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void Reset() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }
    // Gives up ownership.
    int Release() { return std::exchange(fd_, -1); }
    // Closes and reports whether the close succeeded (a write error can show only here).
    bool Close() {
        const int fd = std::exchange(fd_, -1);
        return fd < 0 || close(fd) == 0;
    }

private:
    int fd_;
};

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

unsigned char FoldAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// chmod of the entry `name` of the folder `dir_fd` that never follows a symbolic link. glibc
// emulates AT_SYMLINK_NOFOLLOW through /proc; where that is not available, the entry is checked
// again just before a plain chmod.
bool ChmodNoFollow(int dir_fd, const char* name, const struct stat& expected, mode_t mode) {
    if (fchmodat(dir_fd, name, mode, AT_SYMLINK_NOFOLLOW) == 0) return true;
    if (errno != EOPNOTSUPP && errno != ENOTSUP) return false;
    struct stat now;
    if (fstatat(dir_fd, name, &now, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (S_ISLNK(now.st_mode) || !SameFile(now, expected)) return false;
    return fchmodat(dir_fd, name, mode, 0) == 0;
}

// Clears "read-only" before a delete: adds owner write permission to a file that lacks it. A file
// with other hard links is left as it is (the change would outlive the delete under its other
// names), and so is a symbolic link (chmod would reach its target). On POSIX the delete itself
// does not depend on the file's own permissions, so a refused change is not an error.
void MakeWritableForDelete(int dir_fd, const char* name, const struct stat& st) {
    if (S_ISLNK(st.st_mode) || S_ISDIR(st.st_mode)) return;
    if ((st.st_mode & S_IWUSR) != 0 || st.st_nlink != 1) return;
    ChmodNoFollow(dir_fd, name, st, (st.st_mode & 07777) | S_IWUSR);
}

// --- ListFiles --------------------------------------------------------------------------------

// Length in bytes of the UTF-8 character that starts at s[i] (1 for a stray byte).
size_t Utf8Length(std::string_view s, size_t i) {
    size_t n = 1;
    while (i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80) ++n;
    return n;
}

// Wildcard match without regard to ASCII letter case: "*" any run of characters,
// "?" one character. Greedy with one back-track point, so linear in practice and never
// exponential.
bool WildcardMatch(std::string_view name, std::string_view pattern) {
    size_t n = 0;
    size_t p = 0;
    size_t star_p = std::string_view::npos;
    size_t star_n = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star_p = p++;
            star_n = n;
            continue;
        }
        if (p < pattern.size() && pattern[p] == '?') {
            n += Utf8Length(name, n);
            ++p;
            continue;
        }
        if (p < pattern.size() && FoldAscii(static_cast<unsigned char>(pattern[p])) ==
                                      FoldAscii(static_cast<unsigned char>(name[n]))) {
            ++n;
            ++p;
            continue;
        }
        if (star_p == std::string_view::npos) return false;
        p = star_p + 1;
        star_n += Utf8Length(name, star_n);
        n = star_n;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

// Case-insensitive order (ASCII letters folded to upper case, as NTFS orders names: "_" after
// the letters), ties by plain bytes.
bool ListingOrder(const std::string& a, const std::string& b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const unsigned char fa = FoldAscii(static_cast<unsigned char>(a[i]));
        const unsigned char fb = FoldAscii(static_cast<unsigned char>(b[i]));
        if (fa != fb) return fa < fb;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;  // std::char_traits<char> compares as unsigned char
}

// True when the entry is a regular file or a symbolic link to one.
bool IsListableFile(int dir_fd, const struct dirent& entry) {
    if (entry.d_type == DT_REG) return true;
    if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return false;
    struct stat st;
    return fstatat(dir_fd, entry.d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

// --- DeleteFolderTree -------------------------------------------------------------------------

// Every name in the folder except "." and "..", read once. False when reading fails.
bool ReadNames(int dir_fd, std::vector<std::string>& names) {
    const int own_fd = fcntl(dir_fd, F_DUPFD_CLOEXEC, 0);
    if (own_fd < 0) return false;
    DIR* dir = fdopendir(own_fd);
    if (!dir) {
        close(own_fd);
        return false;
    }
    bool ok = true;
    for (;;) {
        errno = 0;
        const struct dirent* entry = readdir(dir);
        if (!entry) {
            ok = errno == 0;
            break;
        }
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        names.emplace_back(name);
    }
    closedir(dir);
    return ok;
}

// Opens the folder entry `name` of `parent_fd` (AT_FDCWD for a path) without following a link,
// making it readable and searchable when that is what stops the open. The folder opened must be
// the one `expected` describes. Invalid Fd on failure.
Fd OpenFolderNoFollow(int parent_fd, const char* name, const struct stat& expected) {
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    Fd fd(openat(parent_fd, name, kFlags));
    if (!fd && errno == EACCES &&
        ChmodNoFollow(parent_fd, name, expected, (expected.st_mode & 07777) | S_IRWXU)) {
        fd = Fd(openat(parent_fd, name, kFlags));
    }
    if (!fd) return fd;
    struct stat opened;
    if (fstat(fd.get(), &opened) != 0 || !SameFile(opened, expected)) return Fd();
    return fd;
}

// Deletes every entry of the open folder, depth first. `device` is the file system of the tree:
// a sub-folder on another one is a mount point and stops the routine. False at the first error.
bool EmptyFolder(int dir_fd, dev_t device) {
    struct stat self;
    if (fstat(dir_fd, &self) != 0) return false;
    // Removing entries needs write and search permission on the folder; a refusal shows up as a
    // failed delete below.
    if ((self.st_mode & (S_IWUSR | S_IXUSR)) != (S_IWUSR | S_IXUSR)) {
        fchmod(dir_fd, (self.st_mode & 07777) | S_IRWXU);
    }
    std::vector<std::string> names;
    if (!ReadNames(dir_fd, names)) return false;
    for (const std::string& name : names) {
        struct stat st;
        if (fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) continue;  // gone meanwhile
            return false;
        }
        if (!S_ISDIR(st.st_mode)) {  // files, symbolic links (never followed), pipes, ...
            MakeWritableForDelete(dir_fd, name.c_str(), st);
            if (unlinkat(dir_fd, name.c_str(), 0) != 0) return false;
            continue;
        }
        if (st.st_dev != device) return false;
        Fd sub = OpenFolderNoFollow(dir_fd, name.c_str(), st);
        if (!sub || !EmptyFolder(sub.get(), device)) return false;
        sub.Reset();
        if (unlinkat(dir_fd, name.c_str(), AT_REMOVEDIR) != 0) return false;
    }
    return true;
}

// --- MoveFileOver -----------------------------------------------------------------------------

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Copies the regular file `source` (described by `expected`) to the new file `destination`, which
// must not exist; its permissions are the source's plus owner write. The data is on disk before
// true is returned. On failure no destination is left behind.
bool CopyToNewFile(const std::string& source, const struct stat& expected,
                   const std::string& destination) {
    Fd in(open(source.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (!in || fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode) || !SameFile(st, expected)) {
        return false;
    }
    Fd out(open(destination.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR));
    if (!out) return false;  // nothing of ours to clean up
    std::vector<char> buffer(size_t{1} << 16);
    bool ok = true;
    for (;;) {
        const ssize_t n = read(in.get(), buffer.data(), buffer.size());
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (!WriteAll(out.get(), buffer.data(), static_cast<size_t>(n))) {
            ok = false;
            break;
        }
    }
    ok = ok && fchmod(out.get(), (st.st_mode & 0777) | S_IWUSR) == 0;
    ok = ok && fsync(out.get()) == 0;  // the source is deleted next
    ok = out.Close() && ok;
    if (!ok) unlink(destination.c_str());
    return ok;
}

}  // namespace

bool FileExists(const std::string& path) {
    struct stat st;
    return UsablePath(path) && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path) {
    struct stat st;
    return UsablePath(path) && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FileBaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    return name;
}

std::string FileExtension(const std::string& path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos) return "";
    return path.substr(dot + 1);
}

std::string ParentFolder(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return "";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

void KillFile(const std::string& path) {
    struct stat st;
    if (!UsablePath(path) || lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return;
    MakeWritableForDelete(AT_FDCWD, path.c_str(), st);
    unlink(path.c_str());
}

void MoveFileOver(const std::string& source, const std::string& destination) {
    if (!UsablePath(source) || !UsablePath(destination)) return;
    struct stat src;
    if (stat(source.c_str(), &src) != 0 || !S_ISREG(src.st_mode)) return;
    struct stat dst;
    if (stat(destination.c_str(), &dst) == 0 && SameFile(src, dst)) return;
    KillFile(destination);
    if (!CopyToNewFile(source, src, destination)) return;
    KillFile(source);
}

int16_t ListFiles(const std::string& folder, const std::string& extension, std::string& list) {
    list.clear();
    if (!UsablePath(folder)) return 0;
    // Follows a link to a folder, as FolderExists does.
    Fd fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) return 0;
    DIR* dir = fdopendir(fd.get());
    if (!dir) return 0;
    const int dir_fd = fd.Release();  // the stream owns the descriptor now
    // "*.*" means every name, with a dot or without.
    const std::string pattern = "*." + extension;
    const bool every_name = extension.empty() || extension == "*";

    std::vector<std::string> names;
    for (;;) {
        errno = 0;
        const struct dirent* entry = readdir(dir);
        if (!entry) break;  // the end, or a failure part-way: keep what was read
        const std::string_view name = entry->d_name;
        if (name.find('*') != std::string_view::npos) continue;
        if (!every_name && !WildcardMatch(name, pattern)) continue;
        if (!IsListableFile(dir_fd, *entry)) continue;
        names.emplace_back(name);
    }
    closedir(dir);

    std::sort(names.begin(), names.end(), ListingOrder);
    if (names.size() > static_cast<size_t>(kMaxListedFiles)) names.resize(kMaxListedFiles);
    for (const std::string& name : names) {
        if (!list.empty()) list += '*';
        list += name;
    }
    return static_cast<int16_t>(names.size());
}

void DeleteFolderTree(const std::string& folder) {
    std::string path = folder;
    while (!path.empty() && path.back() == '/') path.pop_back();
    if (!UsablePath(path)) return;  // "" or "/" (every "/" dropped)
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return;
    if (S_ISLNK(st.st_mode)) {
        // A link to a folder: the link goes, what it points to stays.
        if (FolderExists(path)) unlink(path.c_str());
        return;
    }
    if (!S_ISDIR(st.st_mode)) return;
    struct stat root;
    if (stat("/", &root) != 0 || SameFile(root, st)) return;

    Fd fd = OpenFolderNoFollow(AT_FDCWD, path.c_str(), st);
    if (!fd || !EmptyFolder(fd.get(), st.st_dev)) return;
    fd.Reset();
    rmdir(path.c_str());
}

void AddBackslash(std::string& path) {
    if (!path.empty() && path.back() != '/') path += '/';
}

bool IsImageFile(const std::string& path) {
    std::string ext = FileExtension(path);
    for (char& c : ext) c = static_cast<char>(FoldAscii(static_cast<unsigned char>(c)));
    return ext == "BMP" || ext == "JPG" || ext == "JPEG" || ext == "GIF" || ext == "PNG" ||
           ext == "WEBP" || ext == "TIF" || ext == "TIFF" || ext == "HEIC" || ext == "HEIF";
}

}  // namespace pictorra::shell
