// A status pane's answer to its update request: the text, and optionally a note that flags the
// pane (the status bar shows a flagged pane's text in a warning colour and the note as its
// tooltip).
#pragma once

#include <QString>

#include "commands/CommandRouter.h"

struct PaneText {
    QString text;
    QString note;  // empty: the pane is not flagged
};

// Answers a pane's update request; an empty note leaves the pane unflagged.
void SetPaneText(CommandUpdate& update, const QString& text, const QString& note = QString());
// What an update says for a pane; a text without a flag is taken whole.
PaneText ReadPaneText(const CommandUpdate& update);
