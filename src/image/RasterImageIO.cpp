// Format detection, loading and saving: the extension lookup, content detection and the
// dispatch to the format classes, all through the format table (RasterFormatTable.h).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "image/FileBeside.h"
#include "image/RasterFile.h"
#include "image/RasterFormatTable.h"
#include "image/PictureMetadata.h"
#include "image/RasterImage.h"
#include "image/formats/RasterExifOrientation.h"
#include "image/formats/RasterFormatSupport.h"
#include "image/formats/RasterImageJPG.h"
#include "image/formats/RasterPhotoEncode.h"
#include "image/metadata/MetadataWriter.h"


uint32_t RasterImage::TypeFromExtension(const char* path) {
    if (!path) return RASTER_FORMAT_UNKNOWN;
    const char* dot = std::strrchr(path, '.');
    const RasterFormat* format = RasterFormatByExtension(dot ? dot + 1 : path);
    return format ? format->id : RASTER_FORMAT_UNKNOWN;
}

bool RasterImage::Load(const char* path, uint32_t type) {
    RasterLoadOptions options;
    return Load(path, type, options);
}

bool RasterImage::Load(const char* path, uint32_t type, RasterLoadOptions& options) {
    if (!path) return false;
    RasterIOFile file;
    if (!file.Open(path, "rb")) {
        SetLastError(std::strerror(errno));
        return false;
    }
    if (IsSupportedRasterFormat(type)) return Decode(&file, type, options);
    char remembered[RASTER_ERROR_TEXT_SIZE];
    std::memcpy(remembered, m_info.lastError, sizeof(remembered));
    const bool ok = Decode(&file, RASTER_FORMAT_UNKNOWN, options);
    if (!ok && type != RASTER_FORMAT_UNKNOWN) std::memcpy(m_info.lastError, remembered, sizeof(remembered));
    return ok;
}

bool RasterImage::Decode(RasterFile* file, uint32_t type) {
    RasterLoadOptions options;
    return Decode(file, type, options);
}

bool RasterImage::Decode(RasterFile* file, uint32_t type, RasterLoadOptions& options) {
    options.orientation = RASTER_EXIF_ORIENTATION_UPRIGHT;
    options.extrasLostOnSave = 0;
    if (options.metadata) options.metadata->Clear();
    if (!file) {
        SetLastError("null file handler");
        return false;
    }
    // A view of another image's storage never replaces it.
    if (IsBorrowed()) {
        SetLastError(RASTER_BORROWED_CANNOT_DECODE);
        return false;
    }
    if (type == RASTER_FORMAT_UNKNOWN) {
        // Each format's sniffer sees the first bytes; only the formats that may own them are
        // decoded, each from the start again.
        const int64_t start = file->Tell();
        const uint64_t size = RemainingBytes(file);
        uint8_t head[RASTER_SNIFF_BYTES];
        const size_t count = start < 0 ? 0 : file->Read(head, 1, sizeof(head));
        // A picture that its format refused for its size is too large, not of an unknown format.
        char tooLarge[RASTER_ERROR_TEXT_SIZE] = "";
        for (const RasterFormat& format : RasterFormats()) {
            if (!format.sniff || !format.sniff(head, count, size)) continue;
            if (!file->Seek(start, RASTER_SEEK_SET)) break;
            if (format.decode(*this, file, format.id, options, true)) return true;
            RasterTooLarge refused{};
            if (tooLarge[0] == '\0' && RasterTooLargeFromText(LastErrorText(), refused)) {
                std::snprintf(tooLarge, sizeof(tooLarge), "%s", LastErrorText());
            }
            // What a failed attempt found belongs to no picture.
            if (options.metadata) options.metadata->Clear();
        }
        SetLastError(tooLarge[0] != '\0' ? tooLarge : "Decode: Unknown or wrong format");
        return false;
    }
    const RasterFormat* format = IsSupportedRasterFormat(type) ? RasterFormatById(type) : nullptr;
    if (format) return format->decode(*this, file, type, options, true);
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
    const RasterFormat* format = IsSupportedRasterFormat(type) ? RasterFormatById(type) : nullptr;
    if (!format) {
        SetLastError("Encode: Unknown format");
        return false;
    }
    if (!format->encode) return RasterFormatNotWritable(*this, format->name);
    return format->encode(*this, file);
}

bool RasterImage::Save(const char* path, uint32_t type) { return Save(path, type, nullptr); }

bool RasterImage::EncodeWithMetadata(RasterFile* file, uint32_t type, PictureMetadata* metadata) {
    if (!metadata || metadata->Empty() || !FormatKeepsMetadata(type)) return Encode(file, type);
    if (EncoderWritesMetadata(type)) return EncodeCarryingMetadata(*this, file, type, *metadata);
    if (type == RASTER_FORMAT_JPG) {
        // The segments go out with the header as the picture is encoded: no copy of the file.
        std::vector<uint8_t> segments;
        JpegMetadataSegments(*this, *metadata, segments);
        RasterImageJPG format;
        format.MakeBorrowedView(*this);
        format.ClearLastError();
        format.SetHeaderSegments(segments.data(), segments.size());
        if (format.Encode(file)) return true;
        SetLastError(format.LastErrorText());
        return false;
    }
    // The blocks are written into the encoded bytes before they reach the file.
    RasterMemFile encoded;
    if (!encoded.Open() || !Encode(&encoded, type)) return false;
    std::vector<uint8_t> bytes(encoded.GetBuffer(), encoded.GetBuffer() + encoded.Size());
    encoded.Close();
    if (!EmbedMetadata(bytes, *this, *metadata)) metadata->dropped = true;
    if (file->Write(bytes.data(), 1, bytes.size()) != bytes.size()) {
        SetLastError("Save: the file could not be written");
        return false;
    }
    return true;
}

bool RasterImage::Save(const char* path, uint32_t type, PictureMetadata* metadata) {
    if (!path || !*path) return false;
    const std::string target = ResolveSaveTarget(path);
    // Replacing needs the right to write the file itself, as opening it for writing would:
    // a write-protected picture stays as it is.
    if (access(target.c_str(), F_OK) == 0 && access(target.c_str(), W_OK) != 0) {
        SetLastError(std::strerror(errno));
        return false;
    }
    // Encode beside the target, then rename over it: a failed encode or a full disk never
    // touches the picture the user already has.
    std::string temp;
    const int fd = CreateFileBeside(target, temp);
    if (fd < 0) {
        SetLastError(std::strerror(errno));
        return false;
    }
    FILE* stream = fdopen(fd, "wb");
    if (!stream) {
        SetLastError(std::strerror(errno));
        close(fd);
        unlink(temp.c_str());
        return false;
    }
    bool encoded;
    bool written;
    {
        RasterIOFile file(stream);
        encoded = EncodeWithMetadata(&file, type, metadata);
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
