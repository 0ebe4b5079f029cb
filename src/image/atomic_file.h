#pragma once
// AtomicFile: write a file under a temporary name in the destination folder and rename it over
// the final name only when it is complete. A failed write, or a process killed half-way, never
// leaves a truncated file under the final name, and never harms a file already there.
//
//   AtomicFile out(path);
//   if (!out.ok()) return error;          // errno says why
//   fwrite(..., out.file()); ...
//   if (!out.Commit()) return error;      // errno says why; the temporary file is gone
//
// The temporary file is created with mode 0666 for the kernel to reduce by the umask and the
// folder's default ACL, so the output gets exactly the permissions of any other new file. The
// umask is never read or set here: that would race with writers on other threads.

#include <cstdio>
#include <string>

namespace pictorra::image {

class AtomicFile {
public:
    explicit AtomicFile(const std::string& path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool ok() const { return file_ != nullptr; }
    FILE* file() const { return file_; }
    // Flushes, closes and renames into place. False (and no file under the final name touched)
    // when any write, the close or the rename failed.
    bool Commit();

    // What the final step of a failed Commit was, for its result code.
    enum class Failure { kNone, kWrite, kRename };
    Failure failure() const { return failure_; }

private:
    void Discard();

    std::string path_;
    std::string temp_path_;
    FILE* file_ = nullptr;
    Failure failure_ = Failure::kNone;
};

}  // namespace pictorra::image
