#include "view/StatusPaneText.h"

void SetPaneText(CommandUpdate& update, const QString& text, const QString& note) {
    update.text = text;
    update.note = note.isEmpty() ? std::nullopt : std::optional<QString>(note);
}

PaneText ReadPaneText(const CommandUpdate& update) {
    return {update.text.value_or(QString()), update.note.value_or(QString())};
}
