#pragma once
// Read-only access to a compiled help file (.chm) through CHMLib: the help viewer loads every page,
// style sheet and picture through this class.
//
// Paths inside the file are absolute and use "/" ("/html/pctr9flj.htm"). CHMLib compares them
// without regard to letter case. The file stays open for the life of the object and is closed by
// its destructor; the object moves but does not copy. Nothing throws: a file that cannot be opened
// gives an object whose IsOpen() is false, and reading a missing page gives std::nullopt.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct chmFile;

namespace pictorra::shell {

class ChmFile {
public:
    // Largest object read: the help pages are small, and a bigger claim is damage.
    static constexpr std::size_t kMaxObjectBytes = 16u << 20;

    explicit ChmFile(const std::string& path);

    bool IsOpen() const { return file_ != nullptr; }

    // True when the file holds an object at that path.
    bool Contains(const std::string& path) const;

    // The bytes of the object at that path; nullopt when it is missing, too large or unreadable.
    std::optional<std::vector<uint8_t>> Read(const std::string& path) const;

    // The paths of every stored file (no folders, none of the file's own bookkeeping objects,
    // whose names start with "/#" or "/$").
    std::vector<std::string> ListFiles() const;

    // The page the file opens at when no page is named ("/html/..."), from its #SYSTEM record;
    // "" when the file records none.
    std::string DefaultTopic() const;

private:
    struct Close {
        void operator()(chmFile* file) const;
    };
    std::unique_ptr<chmFile, Close> file_;
};

}  // namespace pictorra::shell
