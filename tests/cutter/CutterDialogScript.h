// Scripted answers to the "Alpha Picture Cutter" dialog for tests that open it modally.
#pragma once

namespace cuttertest {

// Answers the next modal dialog, once the event loop runs: builds its preview, then presses
// OK or Cancel (and never leaves a modal loop running).
void AnswerCutterDialog(bool ok);

}  // namespace cuttertest
