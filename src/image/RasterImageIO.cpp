// Format detection, loading and saving: the extension table, content detection order and
// the dispatch to the format classes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <strings.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "image/RasterFile.h"
#include "image/formats/RasterFormatSupport.h"
#include "image/RasterImage.h"
#include "image/formats/RasterImageBMP.h"
#include "image/formats/RasterImageGIF.h"
#include "image/formats/RasterImageICO.h"
#include "image/formats/RasterImageJAS.h"
#include "image/formats/RasterImageJBG.h"
#include "image/formats/RasterImageJPG.h"
#include "image/formats/RasterImageMNG.h"
#include "image/formats/RasterImagePCX.h"
#include "image/formats/RasterImagePNG.h"
#include "image/formats/RasterImageRAW.h"
#include "image/formats/RasterImageSKA.h"
#include "image/formats/RasterImageTGA.h"
#include "image/formats/RasterImageTIF.h"
#include "image/formats/RasterImageWBMP.h"
#include "image/formats/RasterImageWMF.h"

namespace {

struct ExtensionEntry {
    const char* extension;
    uint32_t type;
};

// Compared in this order.
constexpr ExtensionEntry kExtensions[] = {
    {"bmp", RASTER_FORMAT_BMP},  {"jpg", RASTER_FORMAT_JPG},  {"jpeg", RASTER_FORMAT_JPG},
    {"gif", RASTER_FORMAT_GIF},  {"png", RASTER_FORMAT_PNG},  {"mng", RASTER_FORMAT_MNG},
    {"jng", RASTER_FORMAT_MNG},  {"ico", RASTER_FORMAT_ICO},  {"tiff", RASTER_FORMAT_TIF},
    {"tif", RASTER_FORMAT_TIF},  {"tga", RASTER_FORMAT_TGA},  {"pcx", RASTER_FORMAT_PCX},
    {"wbmp", RASTER_FORMAT_WBMP}, {"wmf", RASTER_FORMAT_WMF}, {"emf", RASTER_FORMAT_WMF},
    {"jbg", RASTER_FORMAT_JBG},  {"jp2", RASTER_FORMAT_JP2},  {"j2k", RASTER_FORMAT_JP2},
    {"jpc", RASTER_FORMAT_JPC},  {"j2c", RASTER_FORMAT_JPC},  {"pgx", RASTER_FORMAT_PGX},
    {"ras", RASTER_FORMAT_RAS},  {"pnm", RASTER_FORMAT_PNM},  {"pgm", RASTER_FORMAT_PNM},
    {"ppm", RASTER_FORMAT_PNM},
};

// Content detection tries the formats in this order.
constexpr uint32_t kDetectionOrder[] = {
    RASTER_FORMAT_BMP, RASTER_FORMAT_JPG, RASTER_FORMAT_ICO, RASTER_FORMAT_GIF,
    RASTER_FORMAT_PNG, RASTER_FORMAT_TIF, RASTER_FORMAT_MNG, RASTER_FORMAT_TGA,
    RASTER_FORMAT_PCX, RASTER_FORMAT_WBMP, RASTER_FORMAT_WMF, RASTER_FORMAT_JBG,
    RASTER_FORMAT_UNKNOWN /* JPEG 2000 family, found by content */, RASTER_FORMAT_SKA,
    RASTER_FORMAT_RAW,
};
constexpr uint32_t kJasByContent = RASTER_FORMAT_UNKNOWN;


constexpr const char* kBorrowedCannotDecode = "Decode: the image only views another image";

template <class Format>
bool DecodeWith(RasterImage& image, Format& format, RasterFile* file, bool keepError) {
    // The format object's own id is overwritten by the copied information fields; keep it so
    // the picture says which format it came from.
    const uint32_t formatType = format.GetType();
    format.CopyInfoFrom(image);
    format.ClearLastError();
    ResetPictureFields(format);
    if (format.Decode(file)) {
        format.ClearLastError();
        if (formatType != RASTER_FORMAT_UNKNOWN) format.SetType(formatType);
        if (image.TakeOver(format, true)) return true;
        // The image cannot receive the picture: that is a failure, not a success.
        if (keepError) image.SetLastError(kBorrowedCannotDecode);
        return false;
    }
    if (keepError) image.SetLastError(format.LastErrorText());
    return false;
}

// Decodes with the format class of type (kJasByContent during detection means the
// JPEG 2000 family with its own content check).
bool DecodeAs(RasterImage& image, uint32_t type, RasterFile* file, bool keepError) {
    switch (type) {
        case RASTER_FORMAT_BMP: { RasterImageBMP f; return DecodeWith(image, f, file, keepError); }
        case RASTER_FORMAT_GIF: { RasterImageGIF f; return DecodeWith(image, f, file, keepError); }
        case RASTER_FORMAT_JPG: { RasterImageJPG f; return DecodeWith(image, f, file, keepError); }
        case RASTER_FORMAT_PNG: { RasterImagePNG f; return DecodeWith(image, f, file, keepError); }
        case RASTER_FORMAT_ICO: { RasterImageICO f; return DecodeWith(image, f, file, keepError); }
        case RASTER_FORMAT_TIF: { RasterImageTIF f; return DecodeWith(image, f, file, keepError); }
        case RASTER_FORMAT_TGA: { RasterImageTGA f; return DecodeWith(image, f, file, keepError); }
        case RASTER_FORMAT_PCX: { RasterImagePCX f; return DecodeWith(image, f, file, keepError); }
        case RASTER_FORMAT_WBMP: { RasterImageWBMP f; return DecodeWith(image, f, file, keepError); }
        case RASTER_FORMAT_WMF: { RasterImageWMF f; return DecodeWith(image, f, file, keepError); }
        case RASTER_FORMAT_JBG: { RasterImageJBG f; return DecodeWith(image, f, file, keepError); }
        case RASTER_FORMAT_MNG: { RasterImageMNG f; return DecodeWith(image, f, file, keepError); }
        case RASTER_FORMAT_SKA: { RasterImageSKA f; return DecodeWith(image, f, file, keepError); }
        case RASTER_FORMAT_RAW: { RasterImageRAW f; return DecodeWith(image, f, file, keepError); }
        case kJasByContent:
        case RASTER_FORMAT_JP2:
        case RASTER_FORMAT_JPC:
        case RASTER_FORMAT_PGX:
        case RASTER_FORMAT_PNM:
        case RASTER_FORMAT_RAS: { RasterImageJAS f(type); return DecodeWith(image, f, file, keepError); }
        default: return false;
    }
}

template <class Format>
bool EncodeWith(RasterImage& image, Format& format, RasterFile* file) {
    format.MakeBorrowedView(image);
    format.ClearLastError();
    if (format.Encode(file)) return true;
    image.SetLastError(format.LastErrorText());
    return false;
}

bool EncodeAs(RasterImage& image, uint32_t type, RasterFile* file) {
    switch (type) {
        case RASTER_FORMAT_BMP: { RasterImageBMP f; return EncodeWith(image, f, file); }
        case RASTER_FORMAT_GIF: { RasterImageGIF f; return EncodeWith(image, f, file); }
        case RASTER_FORMAT_JPG: { RasterImageJPG f; return EncodeWith(image, f, file); }
        case RASTER_FORMAT_PNG: { RasterImagePNG f; return EncodeWith(image, f, file); }
        case RASTER_FORMAT_ICO: { RasterImageICO f; return EncodeWith(image, f, file); }
        case RASTER_FORMAT_TIF: { RasterImageTIF f; return EncodeWith(image, f, file); }
        case RASTER_FORMAT_TGA: { RasterImageTGA f; return EncodeWith(image, f, file); }
        case RASTER_FORMAT_PCX: { RasterImagePCX f; return EncodeWith(image, f, file); }
        case RASTER_FORMAT_WBMP: { RasterImageWBMP f; return EncodeWith(image, f, file); }
        case RASTER_FORMAT_WMF: { RasterImageWMF f; return EncodeWith(image, f, file); }
        case RASTER_FORMAT_JBG: { RasterImageJBG f; return EncodeWith(image, f, file); }
        case RASTER_FORMAT_MNG: { RasterImageMNG f; return EncodeWith(image, f, file); }
        case RASTER_FORMAT_SKA: { RasterImageSKA f; return EncodeWith(image, f, file); }
        case RASTER_FORMAT_RAW: { RasterImageRAW f; return EncodeWith(image, f, file); }
        case RASTER_FORMAT_JP2:
        case RASTER_FORMAT_JPC:
        case RASTER_FORMAT_PGX:
        case RASTER_FORMAT_PNM:
        case RASTER_FORMAT_RAS: { RasterImageJAS f(type); return EncodeWith(image, f, file); }
        default: return false;
    }
}

// Folder part of path ("." when it has none).
std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Symbolic links followed before giving up (a loop of links).
constexpr int kMaxLinkHops = 40;
// Names tried for the temporary file before giving up.
constexpr int kTempNameAttempts = 100;

// The file a save really replaces: symbolic links are followed, even a dangling one, so that
// the link survives and its target receives the picture.
std::string ResolveSaveTarget(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        char link[PATH_MAX];
        const ssize_t n = readlink(current.c_str(), link, sizeof(link) - 1);
        if (n <= 0) return current;
        link[n] = '\0';
        current = link[0] == '/' ? std::string(link) : FolderOf(current) + "/" + link;
    }
    return current;
}

// Creates a new empty file beside target and returns its descriptor (-1 on failure). Mode
// 0666 lets the umask and the folder's default ACL decide, as for any newly written file;
// the name starts with a dot so that folder listings do not show it as a picture.
int CreateFileBeside(const std::string& target, std::string& created) {
    static std::atomic<uint32_t> counter{0};
    const std::string folder = FolderOf(target);
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        struct timespec now {};
        clock_gettime(CLOCK_REALTIME, &now);
        char name[96];
        std::snprintf(name, sizeof(name), "/.snipwell-save-%ld-%u-%ld", long(getpid()),
                      unsigned(counter.fetch_add(1)), long(now.tv_nsec));
        created = folder + name;
        const int fd = open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Gives the new file the permission bits (and, where allowed, the group) of the file it
// replaces. A new file keeps the permissions it was created with.
bool KeepTargetPermissions(int fd, const std::string& target) {
    struct stat st {};
    if (stat(target.c_str(), &st) != 0) return true;
    if (fchown(fd, uid_t(-1), st.st_gid) != 0) {
        // Not a member of the file's group: the picture is still saved, with our group.
    }
    return fchmod(fd, st.st_mode & 07777) == 0;
}

// Makes the rename itself durable; a failure here does not undo a completed save.
void SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

uint32_t RasterImage::TypeFromExtension(const char* path) {
    if (!path) return RASTER_FORMAT_UNKNOWN;
    const char* dot = std::strrchr(path, '.');
    const char* extension = dot ? dot + 1 : path;
    for (const ExtensionEntry& entry : kExtensions) {
        if (strcasecmp(extension, entry.extension) == 0) return entry.type;
    }
    return RASTER_FORMAT_UNKNOWN;
}

bool RasterImage::Load(const char* path, uint32_t type) {
    if (!path) return false;
    if (IsSupportedRasterFormat(type)) {
        RasterIOFile file;
        if (!file.Open(path, "rb")) return false;
        return Decode(&file, type);
    }
    char remembered[RASTER_ERROR_TEXT_SIZE];
    std::memcpy(remembered, m_info.lastError, sizeof(remembered));
    RasterIOFile file;
    if (!file.Open(path, "rb")) return false;
    const bool ok = Decode(&file, RASTER_FORMAT_UNKNOWN);
    if (!ok && type != RASTER_FORMAT_UNKNOWN) std::memcpy(m_info.lastError, remembered, sizeof(remembered));
    return ok;
}

bool RasterImage::Decode(RasterFile* file, uint32_t type) {
    if (!file) {
        SetLastError("null file handler");
        return false;
    }
    // A view of another image's storage never replaces it.
    if (IsBorrowed()) {
        SetLastError(kBorrowedCannotDecode);
        return false;
    }
    if (type == RASTER_FORMAT_UNKNOWN) {
        const int64_t start = file->Tell();
        for (uint32_t candidate : kDetectionOrder) {
            if (!file->Seek(start, RASTER_SEEK_SET)) break;
            if (DecodeAs(*this, candidate, file, false)) return true;
        }
        SetLastError("Decode: Unknown or wrong format");
        return false;
    }
    if (IsSupportedRasterFormat(type)) return DecodeAs(*this, type, file, true);
    SetLastError("Decode: Unknown or wrong format");
    return false;
}

bool RasterImage::Decode(uint8_t* buffer, uint32_t size, uint32_t type) {
    if (!buffer) {
        SetLastError("null file handler");
        return false;
    }
    RasterMemFile file(buffer, size);
    return Decode(&file, type);
}

bool RasterImage::Encode(RasterFile* file, uint32_t type) {
    if (!CanEncode(*this, file)) return false;
    if (!IsSupportedRasterFormat(type)) {
        SetLastError("Encode: Unknown format");
        return false;
    }
    return EncodeAs(*this, type, file);
}

bool RasterImage::Save(const char* path, uint32_t type) {
    if (!path || !*path) return false;
    const std::string target = ResolveSaveTarget(path);
    // Replacing needs the right to write the file itself, as opening it for writing would:
    // a write-protected picture stays as it is.
    if (access(target.c_str(), F_OK) == 0 && access(target.c_str(), W_OK) != 0) return false;
    // Encode beside the target, then rename over it: a failed encode or a full disk never
    // touches the picture the user already has.
    std::string temp;
    const int fd = CreateFileBeside(target, temp);
    if (fd < 0) return false;
    FILE* stream = fdopen(fd, "wb");
    if (!stream) {
        close(fd);
        unlink(temp.c_str());
        return false;
    }
    bool encoded;
    bool written;
    {
        RasterIOFile file(stream);
        encoded = Encode(&file, type);
        written = encoded && file.Flush() && file.Error() == 0;
    }
    written = written && KeepTargetPermissions(fd, target) && fsync(fd) == 0;
    written = (std::fclose(stream) == 0) && written;
    if (encoded && !written) SetLastError("Save: the file could not be written");
    bool ok = written;
    if (ok && std::rename(temp.c_str(), target.c_str()) != 0) {
        SetLastError(std::strerror(errno));
        ok = false;
    }
    if (!ok) {
        unlink(temp.c_str());
        return false;
    }
    SyncFolder(FolderOf(target));
    return true;
}
