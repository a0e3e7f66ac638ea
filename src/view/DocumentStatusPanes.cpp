#include "view/DocumentStatusPanes.h"

#include "commands/CommandIds.h"
#include "view/PictureView.h"
#include "view/StatusPaneText.h"

namespace {

void FilePane(const PictureDocument& document, CommandUpdate& u) {
    // What runs on the picture is said until it ends.
    if (!document.BusyText().isEmpty()) {
        SetPaneText(u, document.BusyText());
        return;
    }
    const QString& path = document.Path();
    const QString shown = path.isEmpty() ? QString() : document.ModifiedMark() + path;
    const QString& damage = document.DamageNote();
    if (damage.isEmpty() && document.MetadataDropped()) {
        SetPaneText(u, QStringLiteral("Metadata could not be read: %1").arg(shown),
                    QStringLiteral("%1\nA damaged or oversized metadata block (EXIF, XMP, IPTC or colour "
                                   "profile) was left out; the picture itself is whole.")
                        .arg(path));
        return;
    }
    if (damage.isEmpty() && !document.BoxNote().isEmpty()) {
        SetPaneText(u, QStringLiteral("%1 \u2014 %2").arg(shown, document.BoxNote()),
                    QStringLiteral("%1\n%2.").arg(path, document.BoxNote()));
        return;
    }
    const QString saveNote = document.NextJpegSaveNote();
    if (damage.isEmpty() && !saveNote.isEmpty()) {
        SetPaneText(u, QStringLiteral("%1 \u2014 %2").arg(shown, saveNote),
                    QStringLiteral("%1\nNext JPEG save: %2.").arg(path, saveNote));
        return;
    }
    if (damage.isEmpty()) {
        SetPaneText(u, shown);
        return;
    }
    SetPaneText(u, QStringLiteral("Damaged picture: %1: %2").arg(damage, shown),
                QStringLiteral("%1\nWhat could not be read is filled in by the decoder; saving "
                               "writes the picture as shown.")
                    .arg(path));
}

void CropBoxPane(const PictureView& view, CommandUpdate& u) {
    const PictureDocument& document = *view.Document();
    const cropbox::Rect crop = document.BoxInPicture();
    const cropbox::Size size{crop.Width(), crop.Height()};
    // A hidden box has no print to warn about.
    const bool shown = document.Box().m_showCropBox && !crop.IsEmpty();
    SetPaneText(u, QString::fromStdString(document.Box().CropStatusText(view.PicturesValid(), size)),
                shown ? QString::fromStdString(document.Box().LowPrintResolutionNote(size)) : QString());
}

}  // namespace

void RegisterStatusPanes(PictureView& view, CommandHandlers& h) {
    h.OnUpdate(cmd::ID_STATUSBAR_PANE_FILE, [&view](CommandUpdate& u) { FilePane(*view.Document(), u); });
    h.OnUpdate(cmd::ID_STATUSBAR_PANE_IMAGE, [&view](CommandUpdate& u) {
        // The full picture's size, also while it decodes or a long operation holds it.
        const cropbox::Size size = view.Document()->PictureSize();
        u.text = QString::fromStdString(cropbox::CropBoxModel::ImageStatusText(size.width > 0, size.width, size.height));
    });
    h.OnUpdate(cmd::ID_STATUSBAR_PANE_CROPBOX, [&view](CommandUpdate& u) { CropBoxPane(view, u); });
}
