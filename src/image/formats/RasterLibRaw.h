// LibRaw, loaded the first time a camera raw file is read instead of at every start of the
// program: the library and what it brings along (a colour management library and an OpenMP
// runtime) take longer to load and link than much of the program's own start, and most
// sessions never read a raw file.
#pragma once

#include <libraw/libraw.h>

// The functions of LibRaw's C interface that reading a raw file needs.
struct LibRawFunctions {
    decltype(&libraw_init) init;
    decltype(&libraw_close) close;
    decltype(&libraw_set_dataerror_handler) setDataErrorHandler;
    decltype(&libraw_open_buffer) openBuffer;
    decltype(&libraw_unpack) unpack;
    decltype(&libraw_dcraw_process) process;
    decltype(&libraw_dcraw_make_mem_image) makeMemImage;
    decltype(&libraw_dcraw_clear_mem) clearMem;
    decltype(&libraw_strerror) errorText;
};

// The library's file name: the version the program was built against.
const char* LibRawFileName();

// LibRaw's functions, loaded at the first call (from any thread; the library stays loaded),
// or null when the library or one of the functions cannot be found.
const LibRawFunctions* LoadedLibRaw();
