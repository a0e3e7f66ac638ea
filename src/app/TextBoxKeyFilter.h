// The frame's Undo and Redo keys while the keyboard is in a text box of the frame (the JPEG
// quality box): a text box being edited undoes and redoes its own typing; one with nothing of
// its own to undo or redo leaves the keys to the frame, which undoes the picture's last change.
#pragma once

#include <vector>

#include <QKeyCombination>
#include <QObject>

class QWidget;

class TextBoxKeyFilter : public QObject {
    Q_OBJECT
public:
    // Watches the application's key events for the text boxes of window (its parent).
    TextBoxKeyFilter(QWidget* window, std::vector<QKeyCombination> undoKeys, std::vector<QKeyCombination> redoKeys);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    std::vector<QKeyCombination> m_undoKeys;
    std::vector<QKeyCombination> m_redoKeys;
};
