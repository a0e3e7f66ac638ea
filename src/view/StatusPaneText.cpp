#include "view/StatusPaneText.h"

namespace {
constexpr QChar kNoteSeparator = QLatin1Char('\n');
}  // namespace

void SetPaneText(CommandUpdate& update, const QString& text, const QString& note) {
    const bool flagged = !note.isEmpty();
    update.checked = flagged;
    update.text = flagged ? text + kNoteSeparator + note : text;
}

PaneText ReadPaneText(const CommandUpdate& update) {
    const QString whole = update.text.value_or(QString());
    if (!update.checked.value_or(false)) return {whole, QString()};
    const qsizetype separator = whole.indexOf(kNoteSeparator);
    if (separator < 0) return {whole, QString()};
    return {whole.left(separator), whole.mid(separator + 1)};
}
