#include "image/metadata/Exiv2Setup.h"

#include <exiv2/exiv2.hpp>

#include <mutex>

void EnsureExiv2Ready() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
    });
}
