// Message boxes and Yes/No questions. Tests install a scripted answerer so that no real modal
// dialog ever opens; without one, QMessageBox is shown over the active window.
#pragma once

#include <QString>

#include <functional>

class QWidget;

enum class MessageAnswer { Ok, Yes, No, Cancel };

class MessageService {
public:
    // question: a Yes/No question with a question-mark icon; otherwise an OK box.
    using Answerer = std::function<MessageAnswer(const QString& text, bool question)>;

    // Shows text with an OK button (the program's title as caption).
    static void ShowMessage(const QString& text, QWidget* parent = nullptr);
    // True only when the user answers Yes.
    static bool AskYesNo(const QString& text, QWidget* parent = nullptr);

    // Save / Don't Save / Cancel: Yes, No or Cancel (also when the box is closed). A scripted
    // answerer sees a question.
    static MessageAnswer AskSaveDiscardCancel(const QString& text, QWidget* parent = nullptr);
    // A question with two answers of its own and Cancel: Yes for the first, No for the second,
    // Cancel also when the box is closed. A scripted answerer sees a question.
    static MessageAnswer AskTwoWays(const QString& text, const QString& yes, const QString& no,
                                    QWidget* parent = nullptr);

    // Installs (or, with an empty function, removes) the scripted answerer.
    static void SetAnswerer(Answerer answerer);
};
