#include "options/path_check.h"

#include "shell/file_ops.h"

namespace pictorra::options {

PathCheck CheckPathKind(const std::string& path) {
    if (shell::FileExists(path)) {
        if (shell::IsImageFile(path)) return {1, "", "File"};
        return {0, kNotImageFileMessage, ""};
    }
    if (shell::FolderExists(path)) return {2, "", "Folder"};
    return {0, kNotFileOrFolderMessage, ""};
}

}  // namespace pictorra::options
