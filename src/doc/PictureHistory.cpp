#include "doc/PictureHistory.h"

#include <algorithm>
#include <utility>

#include "platform/MachineMemory.h"

namespace {

constexpr uint64_t kMaxBudget = uint64_t(1) << 30;

}  // namespace

uint64_t PictureHistory::DefaultBudget() {
    const uint64_t memory = machinememory::PhysicalBytes();
    return memory == 0 ? kMaxBudget : std::min(kMaxBudget, memory / 4);
}

PictureHistory::Step::Step(Step&& other) noexcept { *this = std::move(other); }

PictureHistory::Step& PictureHistory::Step::operator=(Step&& other) noexcept {
    if (this == &other) return *this;
    change = other.change;
    picture.Destroy();
    if (other.picture.IsValid()) picture.TakeOver(other.picture);
    state = std::move(other.state);
    serial = other.serial;
    return *this;
}

PictureHistory::PictureHistory(uint64_t budgetBytes) : m_budget(budgetBytes) {}

uint64_t PictureHistory::BytesOf(const Step& step) {
    if (!step.picture.IsValid()) return 0;
    const uint64_t alpha = step.picture.HasAlpha() ? uint64_t(step.picture.GetWidth()) * step.picture.GetHeight() : 0;
    return step.picture.GetBlockSize() + alpha;
}

void PictureHistory::Push(std::deque<Step>& stack, Step step) {
    m_held += BytesOf(step);
    stack.push_back(std::move(step));
}

void PictureHistory::Record(Change change, RasterImage& replaced, PictureState state) {
    for (const Step& step : m_redo) m_held -= BytesOf(step);
    m_redo.clear();
    Step step;
    step.change = change;
    if (change == Change::Replaced) step.picture.TakeOver(replaced);
    step.state = std::move(state);
    step.serial = ++m_nextSerial;
    Push(m_undo, std::move(step));
    DropOldestPastBudget();
}

void PictureHistory::DropOldestPastBudget() {
    while (m_held > m_budget && !m_undo.empty()) {
        m_held -= BytesOf(m_undo.front());
        m_base = m_undo.front().serial;
        m_undo.pop_front();
    }
}

PictureHistory::Step PictureHistory::TakeUndo() {
    Step step = std::move(m_undo.back());
    m_undo.pop_back();
    m_held -= BytesOf(step);
    return step;
}

void PictureHistory::Undone(Step step) { Push(m_redo, std::move(step)); }

PictureHistory::Step PictureHistory::TakeRedo() {
    Step step = std::move(m_redo.back());
    m_redo.pop_back();
    m_held -= BytesOf(step);
    return step;
}

void PictureHistory::Redone(Step step) {
    Push(m_undo, std::move(step));
    DropOldestPastBudget();
}

void PictureHistory::Clear() {
    m_undo.clear();
    m_redo.clear();
    m_held = 0;
    m_base = ++m_nextSerial;
}

void PictureHistory::FileRewritten(const QString& path) {
    for (std::deque<Step>* stack : {&m_undo, &m_redo}) {
        for (Step& step : *stack) {
            if (step.state.path == path) step.state.lossless.Spoil();
        }
    }
}

uint64_t PictureHistory::Position() const {
    if (m_undo.empty()) return m_base;
    return m_undo.back().serial;
}

PictureHistory::Change PictureHistory::Inverse(Change change) {
    switch (change) {
    case Change::RotateLeft:
        return Change::RotateRight;
    case Change::RotateRight:
        return Change::RotateLeft;
    default:
        return change;   // Mirror and Flip undo themselves; Replaced swaps
    }
}

bool PictureHistory::Apply(Change change, RasterImage& picture) {
    switch (change) {
    case Change::RotateLeft:
        return picture.RotateLeft();
    case Change::RotateRight:
        return picture.RotateRight();
    case Change::Mirror:
        return picture.Mirror(false, true);
    case Change::Flip:
        return picture.Flip(false, true);
    case Change::Replaced:
        break;
    }
    return false;
}
