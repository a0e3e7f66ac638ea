#include "CutterDialogScript.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include "cutter/AlphaCutterPreview.h"
#include "cutter/AlphaCutterDialog.h"

namespace cuttertest {

void AnswerCutterDialog(bool ok) {
    QTimer::singleShot(0, [ok] {
        auto* dialog = qobject_cast<AlphaCutterDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->CutterView()->BuildBackdrop();
        (ok ? dialog->OkButton() : dialog->CancelButton())->click();
        if (dialog->isVisible()) dialog->reject();
    });
}

}  // namespace cuttertest
