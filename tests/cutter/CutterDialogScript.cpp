#include "CutterDialogScript.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include "cutter/AlphaPicCutterView.h"
#include "cutter/DlgAlphaPicCutter.h"

namespace cuttertest {

void AnswerCutterDialog(bool ok) {
    QTimer::singleShot(0, [ok] {
        auto* dialog = qobject_cast<DlgAlphaPicCutter*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->CutterView()->BuildBackdrop();
        (ok ? dialog->OkButton() : dialog->CancelButton())->click();
        if (dialog->isVisible()) dialog->reject();
    });
}

}  // namespace cuttertest
