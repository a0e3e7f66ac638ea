// The view's part in a print order: stepping through the listed photos with the next ones
// decoded ahead, and giving the selected photos a box.
#include <QFileInfo>

#include "doc/KeptBoxes.h"
#include "order/ApplyToPhotos.h"
#include "view/PictureView.h"

#include "commands/CommandIds.h"

#include "platform/MessageService.h"
#include "platform/WaitCursor.h"

void PictureView::RegisterOrderCommands() {
    CommandHandlers& h = m_handlers;
    h.On(
        cmd::ID_APPLY_TO_SELECTED, [this] { ApplyToSelected(); },
        [this](CommandUpdate& u) {
            u.enabled = m_files && m_files->m_picker && !m_files->m_picker->SelectedPaths().isEmpty();
        });
    h.On(
        cmd::ID_KEEP_BOXES, [] { KeptBoxes::Instance().SetSidecarsOn(!KeptBoxes::Instance().SidecarsOn()); },
        [](CommandUpdate& u) { u.checked = KeptBoxes::Instance().SidecarsOn(); });
}

void PictureView::PrepareNeighbours() {
    PictureBrowserLink* picker = m_files ? m_files->m_picker : nullptr;
    const QString shown = Path();
    if (picker == nullptr || shown.isEmpty()) {
        m_ahead.Stop();
        return;
    }
    // The next photo first: stepping forward is the usual way through an order.
    const QSize bound = LargestArea();
    const qreal ratio = devicePixelRatioF();
    m_ahead.Prepare({picker->NeighbourPath(shown, 1), picker->NeighbourPath(shown, -1)},
                    [bound, ratio](const RasterImage& picture, std::vector<RasterImage>& made) {
                        DisplayCopies::ReduceAhead(picture, bound, ratio, made);
                    });
}

void PictureView::StepPhoto(int step) {
    PictureBrowserLink* picker = m_files ? m_files->m_picker : nullptr;
    if (picker == nullptr || Path().isEmpty()) return;
    const QString next = picker->NeighbourPath(Path(), step);
    if (next.isEmpty() || !m_files->SaveModified()) return;
    LoadPicture(next);
    picker->PictureShown(Path());
}

void PictureView::ApplyToSelected() {
    PictureBrowserLink* picker = m_files ? m_files->m_picker : nullptr;
    const QStringList selected = picker ? picker->SelectedPaths() : QStringList();
    if (selected.isEmpty()) return;
    // The shown photo's latest change is kept first, so that it counts as a box of its own.
    m_document->FlushKeptBox();
    const auto withBox = std::count_if(selected.begin(), selected.end(),
                                       [](const QString& photo) { return KeptBoxes::Instance().Has(photo); });
    bool replace = false;
    if (withBox > 0) {
        const QString question =
            QStringLiteral("%1 of the %2 selected photos already have a box of their own.\n\nReplace their boxes too?")
                .arg(withBox)
                .arg(selected.size());
        switch (
            MessageService::AskTwoWays(question, QStringLiteral("&Replace Them"), QStringLiteral("&Keep Them"), this)) {
        case MessageAnswer::Yes:
            replace = true;
            break;
        case MessageAnswer::No:
            break;
        default:
            return;
        }
    }
    WaitCursor wait;
    const applyboxes::Outcome outcome = applyboxes::ApplyToPhotos(selected, Box(), replace);
    if (selected.contains(Path())) m_document->ReloadKeptBox();
    wait.Release();
    QStringList problems = outcome.notes;
    if (!outcome.failed.isEmpty()) {
        problems.append(QStringLiteral("These photos got no box:\n%1").arg(outcome.failed.join(QLatin1Char('\n'))));
    }
    if (!problems.isEmpty()) MessageService::ShowMessage(problems.join(QStringLiteral("\n\n")), this);
}
