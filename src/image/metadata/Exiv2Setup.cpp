#include "image/metadata/Exiv2Setup.h"

#include <exiv2/exiv2.hpp>

#include <mutex>

std::unique_ptr<Exiv2::Image> OpenExiv2Image(const uint8_t* data, size_t size) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return std::unique_ptr<Exiv2::Image>(Exiv2::ImageFactory::open(data, long(size)).release());
#pragma GCC diagnostic pop
}

namespace {

// The XMP toolkit is shared by every thread that reads or writes XMP (the thumbnail workers,
// an export): exiv2 takes this lock around it.
std::mutex g_xmpToolkit;

void LockXmpToolkit(void* mutex, bool lock) {
    auto* toolkit = static_cast<std::mutex*>(mutex);
    if (lock) {
        toolkit->lock();
    } else {
        toolkit->unlock();
    }
}

}  // namespace

void EnsureExiv2Ready() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize(LockXmpToolkit, &g_xmpToolkit);
        Exiv2::XmpProperties::registerNs(kSnipwellXmpNamespace, kSnipwellXmpPrefix);
    });
}
