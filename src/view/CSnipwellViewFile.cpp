// The file side of the picture view: opening a picture file into the view and writing the
// working picture out.
#include <QFile>

#include "doc/CSnipwellDoc.h"
#include "view/CSnipwellView.h"
#include "platform/FileChecks.h"
#include "platform/MessageService.h"
#include "platform/WaitCursor.h"
#include "image/WorkingPicture.h"

void CSnipwellView::RegisterFileCommands() {
    // The file commands are the document's; the view adds none of its own.
}

void CSnipwellView::LoadPicture(const QString& path) {
    if (CommandRouter* router = CommandRouter::Instance()) router->SetActiveView(&m_handlers);
    WaitCursor wait;

    m_box.m_rcCrop = cropbox::Rect{};
    ResetLightSliders();
    ForgetHistory();
    m_nSavedPosition = m_history.Position();
    m_imgWork.Destroy();
    m_imgView.Destroy();
    ForgetShownCopy();
    m_strPath.clear();
    m_strDamage.clear();
    update();
    if (path.isEmpty()) return;

    const QByteArray native = QFile::encodeName(path);
    // Photos are stored as the camera was held; the JPEG load turns them the way they were
    // shot. A turn that fails for lack of memory leaves the picture as stored.
    RasterLoadOptions options;
    options.upright = RasterUpright::Turn;
    const bool loaded = filechecks::IsRegularFile(path) &&
                        m_imgWork.Load(native.constData(), RasterImage::TypeFromExtension(native.constData()), options) &&
                        m_imgWork.IsValid();
    // A damaged file that still loaded says what was wrong; the picture is shown as decoded.
    const QByteArray damage = loaded ? QByteArray(m_imgWork.LoadWarningText()) : QByteArray();
    // A picture that cannot be brought to 24 bits would break every later command: it is
    // treated like an unreadable file.
    if (!loaded || !MakeWorkingPicture(m_imgWork)) {
        m_imgWork.Destroy();
        wait.Release();
        MessageService::ShowMessage("Could not load image.", this);
        return;
    }
    if (m_box.m_bAutoHide) m_box.m_bShowCropBox = true;

    m_strPath = path;
    m_strDamage = QString::fromUtf8(damage);
    MatchOrientation(int(m_imgWork.GetWidth()), int(m_imgWork.GetHeight()));
    LayoutPicture();
}

bool CSnipwellView::SavePicture(const QString& path) {
    if (!m_imgWork.IsValid()) {
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
    if (ok) {
        copy.SetJpegQuality(uint8_t(CSnipwellDoc::StoredJpegQuality()));
        ok = copy.Save(native.constData(), type);
    }
    if (!ok) {
        wait.Release();
        MessageService::ShowMessage("Failed.", this);
        return false;
    }
    m_strPath = path;
    m_nSavedPosition = m_history.Position();
    return true;
}
