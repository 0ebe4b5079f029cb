// cImage::LoadPicture: maps the file read-only and hands it to the decoder its extension names.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "image/codecs.h"

namespace pictorra::image {
namespace {

// A read-only mapping of a whole regular file; empty when the file cannot be mapped.
class MappedFile {
public:
    explicit MappedFile(const std::string& path) {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return;
        struct stat st{};
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
            void* p = mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            if (p != MAP_FAILED) {
                data_ = static_cast<const uint8_t*>(p);
                size_ = size_t(st.st_size);
            }
        }
        close(fd);
    }
    ~MappedFile() {
        if (data_) munmap(const_cast<uint8_t*>(data_), size_);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::span<const uint8_t> bytes() const { return {data_, size_}; }
    bool ok() const { return data_ != nullptr; }

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

std::string UpperExtension(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return ext;
}

enum class Format { kUnknown, kBmp, kJpeg, kGif };

Format FormatOfExtension(std::string ext) {
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (ext == "BMP") return Format::kBmp;
    if (ext == "JPG" || ext == "JPEG") return Format::kJpeg;
    if (ext == "GIF") return Format::kGif;
    return Format::kUnknown;
}

Format FormatOfContent(std::span<const uint8_t> data) {
    if (data.size() >= 2 && data[0] == 'B' && data[1] == 'M') return Format::kBmp;
    if (data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return Format::kJpeg;
    if (data.size() >= 6 && std::memcmp(data.data(), "GIF8", 4) == 0) return Format::kGif;
    return Format::kUnknown;
}

}  // namespace

int32_t cImage::LoadPictureData(std::span<const uint8_t> data, const std::string& extension) {
    ReleaseDIB();
    Format format = FormatOfExtension(extension);
    if (format == Format::kUnknown) format = FormatOfContent(data);
    bool ok = false;
    switch (format) {
        case Format::kBmp: ok = DecodeBmp(data, *this); break;
        case Format::kJpeg: ok = DecodeJpeg(data, *this); break;
        case Format::kGif: ok = DecodeGif(data, *this); break;
        case Format::kUnknown: break;
    }
    if (!ok) ReleaseDIB();
    return ok ? kDibOk : kDibNoSurface;
}

int32_t cImage::LoadPicture(const std::string& sPath) {
    const MappedFile file(sPath);
    if (!file.ok()) {
        ReleaseDIB();
        return kDibNoSurface;
    }
    return LoadPictureData(file.bytes(), UpperExtension(sPath));
}

}  // namespace pictorra::image
