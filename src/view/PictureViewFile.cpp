// The file side of the picture view: opening a picture file into the view and writing the
// working picture out.
#include <QFile>

#include "doc/PictureDocument.h"
#include "view/PictureView.h"
#include "platform/FileChecks.h"
#include "platform/MessageService.h"
#include "platform/WaitCursor.h"
#include "image/WorkingPicture.h"
#include "image/metadata/MetadataCheck.h"

void PictureView::RegisterFileCommands() {
    // The file commands are the document's; the view adds none of its own.
}

void PictureView::LoadPicture(const QString& path) {
    if (CommandRouter* router = CommandRouter::Instance()) router->SetActiveView(&m_handlers);
    WaitCursor wait;

    m_box.m_crop = cropbox::Rect{};
    ResetLightSliders();
    ForgetHistory();
    m_savedPosition = m_history.Position();
    m_working.Destroy();
    m_viewCopy.Destroy();
    ForgetShownCopy();
    m_path.clear();
    m_damage.clear();
    m_metadata.reset();
    m_metadataDropped = false;
    update();
    if (path.isEmpty()) return;

    const QByteArray native = QFile::encodeName(path);
    // Photos are stored as the camera was held; the JPEG load turns them the way they were
    // shot. A turn that fails for lack of memory leaves the picture as stored.
    RasterLoadOptions options;
    options.upright = RasterUpright::Turn;
    auto metadata = std::make_shared<PictureMetadata>();
    options.metadata = metadata.get();
    const bool loaded = filechecks::IsRegularFile(path) &&
                        m_working.Load(native.constData(), RasterImage::TypeFromExtension(native.constData()), options) &&
                        m_working.IsValid();
    // A damaged file that still loaded says what was wrong; the picture is shown as decoded.
    const QByteArray damage = loaded ? QByteArray(m_working.LoadWarningText()) : QByteArray();
    // A picture that cannot be brought to 24 bits would break every later command: it is
    // treated like an unreadable file.
    if (!loaded || !MakeWorkingPicture(m_working)) {
        m_working.Destroy();
        wait.Release();
        MessageService::ShowMessage("Could not load image.", this);
        return;
    }
    if (m_box.m_autoHide) m_box.m_showCropBox = true;

    m_path = path;
    m_damage = QString::fromUtf8(damage);
    // A block that cannot be read is left out: the picture opens and saves without it.
    m_metadataDropped = DropUnreadableMetadata(*metadata);
    m_metadata = std::move(metadata);
    MatchOrientation(int(m_working.GetWidth()), int(m_working.GetHeight()));
    LayoutPicture();
}

bool PictureView::SavePicture(const QString& path) {
    if (!m_working.IsValid()) {
        MessageService::ShowMessage("The current image is invalid.", this);
        return false;
    }
    const QByteArray native = QFile::encodeName(path);
    const uint32_t type = RasterImage::TypeFromExtension(native.constData());
    if (type == RASTER_FORMAT_UNKNOWN) {
        MessageService::ShowMessage("Unknown image type.", this);
        return false;
    }

    WaitCursor wait;
    // The light values live in the sliders: they go into the written copy, never into the
    // working picture.
    RasterImage copy;
    bool ok = MakeLitCopy(copy);
    // The blocks travel in a copy: one that cannot be written is left out of this file only.
    PictureMetadata metadata = Metadata();
    if (ok) {
        copy.SetJpegQuality(uint8_t(PictureDocument::StoredJpegQuality()));
        ok = copy.Save(native.constData(), type, &metadata);
    }
    if (!ok) {
        wait.Release();
        MessageService::ShowMessage("Failed.", this);
        return false;
    }
    m_path = path;
    m_savedPosition = m_history.Position();
    if (metadata.dropped) m_metadataDropped = true;
    return true;
}

const PictureMetadata& PictureView::Metadata() const {
    static const PictureMetadata none;
    return m_metadata ? *m_metadata : none;
}
