#include "platform/MessageService.h"

#include <QApplication>
#include <QMessageBox>

#include "platform/SettingsStore.h"

namespace {
MessageService::Answerer g_answerer;
}  // namespace

void MessageService::SetAnswerer(Answerer answerer) {
    g_answerer = std::move(answerer);
}

void MessageService::ShowMessage(const QString& text, QWidget* parent) {
    if (g_answerer) {
        g_answerer(text, false);
        return;
    }
    QMessageBox::information(parent ? parent : QApplication::activeWindow(), SettingsStore::kApplication, text,
                             QMessageBox::Ok);
}

bool MessageService::AskYesNo(const QString& text, QWidget* parent) {
    if (g_answerer) return g_answerer(text, true) == MessageAnswer::Yes;
    return QMessageBox::question(parent ? parent : QApplication::activeWindow(), SettingsStore::kApplication, text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}
