#include "image/formats/RasterLibRaw.h"

#include <dlfcn.h>

#include <optional>

namespace {

#define RASTER_STRINGIZE_VALUE(x) #x
#define RASTER_STRINGIZE(x) RASTER_STRINGIZE_VALUE(x)

// The thread-safe build, under the name its version gives it.
constexpr const char kLibRawFile[] = "libraw_r.so." RASTER_STRINGIZE(LIBRAW_SHLIB_CURRENT);

template <class Function>
bool Find(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

std::optional<LibRawFunctions> Load() {
    void* library = dlopen(kLibRawFile, RTLD_NOW | RTLD_LOCAL);
    if (!library) return std::nullopt;
    LibRawFunctions f{};
    const bool complete = Find(library, "libraw_init", f.init) && Find(library, "libraw_close", f.close) &&
                          Find(library, "libraw_set_dataerror_handler", f.setDataErrorHandler) &&
                          Find(library, "libraw_open_buffer", f.openBuffer) &&
                          Find(library, "libraw_unpack", f.unpack) &&
                          Find(library, "libraw_dcraw_process", f.process) &&
                          Find(library, "libraw_dcraw_make_mem_image", f.makeMemImage) &&
                          Find(library, "libraw_dcraw_clear_mem", f.clearMem) &&
                          Find(library, "libraw_strerror", f.errorText);
    if (!complete) {
        dlclose(library);
        return std::nullopt;
    }
    return f;
}

}  // namespace

const char* LibRawFileName() {
    return kLibRawFile;
}

const LibRawFunctions* LoadedLibRaw() {
    static const std::optional<LibRawFunctions> functions = Load();
    return functions ? &*functions : nullptr;
}
