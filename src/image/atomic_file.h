#pragma once
// AtomicFile: write a file under a temporary name in the destination folder and rename it over
// the final name only when it is complete. A failed write, or a process killed half-way, never
// leaves a truncated file under the final name, and never harms a file already there.
//
//   AtomicFile out(path);
//   if (!out.ok()) return error;
//   fwrite(..., out.file()); ...
//   if (!out.Commit()) return error;   // the destructor removes the temporary file otherwise

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
    // when any write failed.
    bool Commit();

private:
    void Discard();

    std::string path_;
    std::string temp_path_;
    FILE* file_ = nullptr;
};

}  // namespace pictorra::image
