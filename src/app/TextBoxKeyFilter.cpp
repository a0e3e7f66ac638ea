#include "app/TextBoxKeyFilter.h"

#include <algorithm>

#include <QKeyEvent>
#include <QLineEdit>

namespace {

bool Listed(const std::vector<QKeyCombination>& keys, QKeyCombination key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

}  // namespace

TextBoxKeyFilter::TextBoxKeyFilter(QWidget* window, std::vector<QKeyCombination> undoKeys,
                                   std::vector<QKeyCombination> redoKeys)
    : QObject(window), m_window(window), m_undoKeys(std::move(undoKeys)), m_redoKeys(std::move(redoKeys)) {}

bool TextBoxKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ShortcutOverride) return false;
    const auto* box = qobject_cast<QLineEdit*>(watched);
    if (box == nullptr || box->window() != m_window || box->isReadOnly()) return false;
    // A text box claims its undo and redo keys before any shortcut sees them, whether it has
    // anything to undo or not. Refused here, the claim passes on and the frame's key applies.
    const QKeyCombination key = static_cast<QKeyEvent*>(event)->keyCombination();
    const bool unused =
        (Listed(m_undoKeys, key) && !box->isUndoAvailable()) || (Listed(m_redoKeys, key) && !box->isRedoAvailable());
    if (!unused) return false;
    event->ignore();
    return true;
}
