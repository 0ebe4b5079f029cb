#pragma once
// What a dropped or picked path is: a picture file, a folder, or nothing the program can use,
// with the message to show for the last.

#include <cstdint>
#include <string>

namespace pictorra::options {

inline constexpr char kNotImageFileMessage[] =
    "Not a valid file type. File extension must be BMP, JPG, JPEG, GIF, PNG, WEBP, TIF, TIFF, "
    "HEIC, or HEIF.";
inline constexpr char kNotFileOrFolderMessage[] = "Not a valid file or folder.";

struct PathCheck {
    int32_t kind = 0;        // 0 not usable, 1 picture file, 2 folder
    std::string message;     // the information box to show, or ""
    std::string type_label;  // the type label's caption: "File", "Folder" or ""
};

// A file is judged by its extension alone (shell::IsImageFile, any case); whether it
// decodes is the load's business. "" and missing paths are neither file nor folder.
PathCheck CheckPathKind(const std::string& path);

}  // namespace pictorra::options
