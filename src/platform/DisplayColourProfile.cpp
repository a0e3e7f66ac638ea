#include "platform/DisplayColourProfile.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

#include "image/metadata/ColourConversion.h"
#include "image/metadata/MetadataCheck.h"

namespace {

constexpr char kProfileAtom[] = "_ICC_PROFILE";
// The property is read in 32-bit units; a larger profile is not taken.
constexpr uint32_t kMaxProfileUnits = uint32_t(kMaxIccBytes / 4);
constexpr uint8_t kByteFormat = 8;

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};

}  // namespace

std::vector<uint8_t> ReadDisplayColourProfile() {
    std::vector<uint8_t> profile;
#if QT_CONFIG(xcb)
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return profile;
    const std::unique_ptr<xcb_intern_atom_reply_t, FreeReply> atom(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, uint16_t(sizeof(kProfileAtom) - 1), kProfileAtom), nullptr));
    if (!atom || atom->atom == XCB_ATOM_NONE) return profile;
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen) return profile;
    const std::unique_ptr<xcb_get_property_reply_t, FreeReply> reply(xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, screen->root, atom->atom, XCB_GET_PROPERTY_TYPE_ANY, 0, kMaxProfileUnits),
        nullptr));
    if (!reply || reply->format != kByteFormat || reply->bytes_after != 0) return profile;
    const auto* bytes = static_cast<const uint8_t*>(xcb_get_property_value(reply.get()));
    const int length = xcb_get_property_value_length(reply.get());
    if (bytes && length > 0) profile.assign(bytes, bytes + length);
#endif
    return profile;
}

void UseDisplayColourProfile() { SetScreenColourProfile(ReadDisplayColourProfile()); }
