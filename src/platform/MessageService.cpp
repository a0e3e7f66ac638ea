#include "platform/MessageService.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

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

MessageAnswer MessageService::AskTwoWays(const QString& text, const QString& yes, const QString& no, QWidget* parent) {
    if (g_answerer) return g_answerer(text, true);
    QMessageBox box(QMessageBox::Question, SettingsStore::kApplication, text, QMessageBox::NoButton,
                    parent ? parent : QApplication::activeWindow());
    QPushButton* first = box.addButton(yes, QMessageBox::YesRole);
    QPushButton* second = box.addButton(no, QMessageBox::NoRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(second);
    box.exec();
    if (box.clickedButton() == first) return MessageAnswer::Yes;
    if (box.clickedButton() == second) return MessageAnswer::No;
    return MessageAnswer::Cancel;
}

MessageAnswer MessageService::AskSaveDiscardCancel(const QString& text, QWidget* parent) {
    if (g_answerer) return g_answerer(text, true);
    QMessageBox box(QMessageBox::Warning, SettingsStore::kApplication, text, QMessageBox::NoButton,
                    parent ? parent : QApplication::activeWindow());
    QPushButton* save = box.addButton(QMessageBox::Save);
    QPushButton* discard = box.addButton(QStringLiteral("Do&n't Save"), QMessageBox::DestructiveRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(save);
    box.exec();
    if (box.clickedButton() == save) return MessageAnswer::Yes;
    if (box.clickedButton() == discard) return MessageAnswer::No;
    return MessageAnswer::Cancel;
}
