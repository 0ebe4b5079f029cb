// cImage::LoadPicture: reads the whole file and hands it to the decoder its extension names.
//
// The file is read with pread into memory, not mapped: pictures come from cards still being
// copied and folders that sync clients rewrite, and a mapped file truncated during decoding kills
// the process with SIGBUS. A file whose size changes while it is read is a load error instead.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "image/codecs.h"

namespace pictorra::image {
namespace {

std::string UpperExtension(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return ext;
}

enum class Format { kUnknown, kBmp, kJpeg, kGif, kPng, kWebp, kTiff, kHeif };

Format FormatOfExtension(std::string ext) {
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (ext == "BMP") return Format::kBmp;
    if (ext == "JPG" || ext == "JPEG") return Format::kJpeg;
    if (ext == "GIF") return Format::kGif;
    if (ext == "PNG") return Format::kPng;
    if (ext == "WEBP") return Format::kWebp;
    if (ext == "TIF" || ext == "TIFF") return Format::kTiff;
    if (ext == "HEIC" || ext == "HEIF") return Format::kHeif;
    return Format::kUnknown;
}

Format FormatOfContent(std::span<const uint8_t> data) {
    if (data.size() >= 2 && data[0] == 'B' && data[1] == 'M') return Format::kBmp;
    if (data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return Format::kJpeg;
    if (data.size() >= 6 && std::memcmp(data.data(), "GIF8", 4) == 0) return Format::kGif;
    if (data.size() >= 8 && std::memcmp(data.data(), "\x89PNG\r\n\x1a\n", 8) == 0)
        return Format::kPng;
    if (data.size() >= 12 && std::memcmp(data.data(), "RIFF", 4) == 0 &&
        std::memcmp(data.data() + 8, "WEBP", 4) == 0)
        return Format::kWebp;
    if (data.size() >= 4 &&
        (std::memcmp(data.data(), "II*\0", 4) == 0 || std::memcmp(data.data(), "MM\0*", 4) == 0))
        return Format::kTiff;
    // An ISO media file: the size of the first box, then "ftyp".
    if (data.size() >= 12 && std::memcmp(data.data() + 4, "ftyp", 4) == 0) return Format::kHeif;
    return Format::kUnknown;
}

}  // namespace

int32_t cImage::LoadPictureData(std::span<const uint8_t> data, const std::string& extension,
                                PictureInfo* info, int32_t threads) {
    ReleaseDIB();
    PictureInfo own;
    PictureInfo& found = info ? *info : own;
    found = {};
    Format format = FormatOfExtension(extension);
    if (format == Format::kUnknown) format = FormatOfContent(data);
    bool ok = false;
    switch (format) {
        case Format::kBmp:
            ok = DecodeBmp(data, *this);
            break;
        case Format::kJpeg:
            ok = DecodeJpeg(data, *this, &found);
            break;
        case Format::kGif:
            ok = DecodeGif(data, *this);
            break;
        case Format::kPng:
            ok = DecodePng(data, *this, &found);
            break;
        case Format::kWebp:
            ok = DecodeWebp(data, *this, &found);
            break;
        case Format::kTiff:
            ok = DecodeTiff(data, *this, &found);
            break;
        case Format::kHeif:
            ok = DecodeHeif(data, *this, &found);
            break;
        case Format::kUnknown:
            break;
    }
    // Everything after the load works in sRGB. A profile that cannot be used leaves the samples
    // as they are, which is what every viewer without colour management shows too.
    if (ok && !found.icc.empty()) (void)ConvertToSrgb(*this, found.icc, threads);
    if (!ok) {
        ReleaseDIB();
        found = {};
    }
    return ok ? kDibOk : kDibNoSurface;
}

int ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes,
                  const std::function<void()>& after_size_known) {
    bytes.clear();
    // O_NONBLOCK: opening a FIFO named like a picture must not wait for a writer; it has no
    // effect on regular files.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return errno;
    struct Closer {
        int fd;
        ~Closer() { close(fd); }
    } closer{fd};
    struct stat st {};
    if (fstat(fd, &st) != 0) return errno;
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!S_ISREG(st.st_mode)) return EINVAL;  // a FIFO or device could block or never end
    // A picture larger than this is refused by every decoder anyway (see kMaxLoadPixels).
    constexpr off_t kMaxFileBytes = off_t{1} << 31;
    if (st.st_size > kMaxFileBytes) return EFBIG;
    if (after_size_known) after_size_known();
    const size_t size = size_t(st.st_size);
    try {
        // One byte more than the size: reading it tells a file that grew.
        bytes.resize(size + 1);
    } catch (const std::bad_alloc&) {
        bytes.clear();
        return ENOMEM;
    }
    size_t have = 0;
    while (have < size + 1) {
        const ssize_t n = pread(fd, bytes.data() + have, size + 1 - have, off_t(have));
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            bytes.clear();
            return error;
        }
        if (n == 0) break;
        have += size_t(n);
    }
    if (have != size) {
        bytes.clear();
        return kFileChanged;
    }
    bytes.resize(size);
    return 0;
}

int32_t cImage::LoadPicture(const std::string& sPath, std::vector<uint8_t>& file_bytes, int& why,
                            PictureInfo* info, int32_t threads) {
    if (info) *info = {};
    why = ReadWholeFile(sPath, file_bytes);
    if (why != 0) {
        ReleaseDIB();
        return kDibNoSurface;
    }
    return LoadPictureData(file_bytes, UpperExtension(sPath), info, threads);
}

int32_t cImage::LoadPicture(const std::string& sPath) {
    std::vector<uint8_t> bytes;
    int why = 0;
    return LoadPicture(sPath, bytes, why);
}

}  // namespace pictorra::image
