#include "cutter/ExtCutterCommand.h"

#include "cutter/AlphaCutterPreview.h"
#include "cutter/AlphaCutterDialog.h"
#include "platform/WaitCursor.h"

bool RunExtCutter(QWidget* parent, const RasterImage& work, RasterImage& result, const std::vector<uint8_t>& icc) {
    if (!work.IsValid()) return false;
    AlphaCutterDialog dialog(parent);
    dialog.CutterView()->SetPicture(work, icc);
    if (dialog.exec() != QDialog::Accepted) return false;
    WaitCursor wait;
    RasterImage cut;
    if (!dialog.CutterView()->GetResult(cut)) return false;
    cut.DeleteAlpha();
    return result.TakeOver(cut);
}
