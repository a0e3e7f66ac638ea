// The document's long operations: a large picture is lent to a worker thread while the event
// loop keeps turning, and the result is taken back on this thread.
#include <utility>

#include "doc/PictureDocument.h"

void PictureDocument::RunJob(const QString& text, std::function<void()> work, std::function<void()> finish) {
    const cropbox::Size size = PictureSize();
    if (uint64_t(size.width) * uint64_t(size.height) <= m_backgroundPixels) {
        work();
        finish();
        return;
    }
    m_busyText = text;
    m_job.Start(std::move(work), [this, finish = std::move(finish)] {
        m_busyText.clear();
        finish();
        emit busyChanged(false);
    });
    emit busyChanged(true);
    m_job.WaitTurningEvents();
}

void PictureDocument::FinishJob() {
    m_loader.Finish();
    m_job.Finish();
}

void PictureDocument::LendWorkingPicture(RasterImage& to) {
    m_standInSize = PictureSize();
    if (m_working.IsValid()) to.TakeOver(m_working);
}

void PictureDocument::ReturnWorkingPicture(RasterImage& from) {
    if (from.IsValid()) m_working.TakeOver(from);
    m_standInSize = {};
}
