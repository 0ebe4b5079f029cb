#pragma once
// What became of one picture of a run. The code is the number the windows show ("Err. N" and the
// error log's "- Error: N"); the step and the system's error number say why, for the command line
// and for the texts of FileResultText.

#include <cstdint>
#include <string>

#include "options/geometry.h"

namespace pictorra::options {

// Result codes of one picture. Writing failures carry the writers' own codes (image::kWrite*:
// 1 nothing to write, 2 no file could be made, 3 a write failed, 4 the file could not be put in
// place), which reuse the numbers 1 to 4.
inline constexpr int32_t kFileWritten = 0;
inline constexpr int32_t kFileCannotLoad = 1;     // not readable, or not a picture we decode
inline constexpr int32_t kFileNoBitmap = 2;       // the picture buffer could not be made
inline constexpr int32_t kFileBitmapRefused = 3;  // the buffer's size was refused (a side of 0)
inline constexpr int32_t kFileBitmapFailed = 4;   // the buffer failed otherwise (no memory)
inline constexpr int32_t kFileMountFailed = 5;
inline constexpr int32_t kFileCropFailed = 6;
inline constexpr int32_t kFileResizeFailed = 7;

// The step of ProcessFile that gave the code.
enum class FileStep { kDone, kLoad, kBitmap, kMount, kCrop, kResize, kWrite };

struct FileResult {
    int32_t code = kFileWritten;
    FileStep step = FileStep::kDone;
    int error = 0;  // errno of the failed call, image::kFileChanged, or 0 when none applies
    bool geometry_computed = false;
    CropGeometry geometry;
};

// The result of a picture that failed at `step`.
inline FileResult Failure(int32_t code, FileStep step, int error = 0) {
    FileResult r;
    r.code = code;
    r.step = step;
    r.error = error;
    return r;
}

// Why a picture failed, in a few words ("" when it was written): "Permission denied", "the file
// changed while it was read", "a write failed: No space left on device".
std::string FileResultText(const FileResult& result);

}  // namespace pictorra::options
