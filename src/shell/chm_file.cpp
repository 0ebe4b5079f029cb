#include "shell/chm_file.h"

#include <chm_lib.h>

#include <cstring>

namespace pictorra::shell {
namespace {

// The #SYSTEM object: a 32-bit version, then records of a 16-bit code, a 16-bit length and that
// many bytes. Code 2 holds the default topic as text, relative to the file's root.
constexpr uint16_t kSystemDefaultTopic = 2;

int CollectFile(chmFile*, chmUnitInfo* ui, void* context) {
    const std::string path = ui->path;
    if (path.size() > 1 && path[1] != '#' && path[1] != '$') {
        static_cast<std::vector<std::string>*>(context)->push_back(path);
    }
    return CHM_ENUMERATOR_CONTINUE;
}

}  // namespace

void ChmFile::Close::operator()(chmFile* file) const { chm_close(file); }

ChmFile::ChmFile(const std::string& path) : file_(chm_open(path.c_str())) {}

bool ChmFile::Contains(const std::string& path) const {
    chmUnitInfo ui;
    return file_ && chm_resolve_object(file_.get(), path.c_str(), &ui) == CHM_RESOLVE_SUCCESS;
}

std::optional<std::vector<uint8_t>> ChmFile::Read(const std::string& path) const {
    chmUnitInfo ui;
    if (!file_ || chm_resolve_object(file_.get(), path.c_str(), &ui) != CHM_RESOLVE_SUCCESS) {
        return std::nullopt;
    }
    if (ui.length > kMaxObjectBytes) return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<std::size_t>(ui.length));
    if (bytes.empty()) return bytes;
    const LONGINT64 got = chm_retrieve_object(file_.get(), &ui, bytes.data(), 0,
                                              static_cast<LONGINT64>(bytes.size()));
    if (got != static_cast<LONGINT64>(bytes.size())) return std::nullopt;
    return bytes;
}

std::vector<std::string> ChmFile::ListFiles() const {
    std::vector<std::string> paths;
    if (file_) {
        chm_enumerate(file_.get(), CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, CollectFile, &paths);
    }
    return paths;
}

std::string ChmFile::DefaultTopic() const {
    const std::optional<std::vector<uint8_t>> system = Read("/#SYSTEM");
    if (!system) return "";
    const std::vector<uint8_t>& s = *system;
    std::size_t pos = 4;
    while (pos <= s.size() && s.size() - pos >= 4) {
        const uint16_t code = static_cast<uint16_t>(s[pos] | (s[pos + 1] << 8));
        const std::size_t length = static_cast<std::size_t>(s[pos + 2] | (s[pos + 3] << 8));
        pos += 4;
        if (length > s.size() - pos) return "";
        if (code == kSystemDefaultTopic) {
            const char* text = reinterpret_cast<const char*>(s.data() + pos);
            std::string topic(text, strnlen(text, length));
            if (topic.empty()) return "";
            return topic.front() == '/' ? topic : "/" + topic;
        }
        pos += length;
    }
    return "";
}

}  // namespace pictorra::shell
