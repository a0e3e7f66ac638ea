// The "Alpha Picture Cutter" dialog: loads a cutter picture, lets the user place the picture
// under it in the preview control and confirms the cut. Only the path of the cutter used
// survives the dialog, in the settings, and only after OK.
#pragma once

#include <QDialog>
#include <QString>

class AlphaCutterPreview;
class QPushButton;

class AlphaCutterDialog : public QDialog {
    Q_OBJECT
public:
    // Lays out the controls and loads the cutter used last time, if it still loads.
    explicit AlphaCutterDialog(QWidget* parent = nullptr);

    AlphaCutterPreview* CutterView() const { return m_preview; }
    QPushButton* OpenButton() const { return m_openButton; }
    QPushButton* ReverseAlphaButton() const { return m_reverseAlphaButton; }
    QPushButton* OkButton() const { return m_okButton; }
    QPushButton* CancelButton() const { return m_cancelButton; }
    // The file of the cutter in use; empty until one has been loaded.
    const QString& CutterPath() const { return m_cutterPath; }

    // OK: closes only when the cut can be made, and then remembers the cutter's path.
    void accept() override;

    // "Open...", "Reverse Alpha", and the preview's news that the cut state may have changed.
    void OnOpen();
    void OnReverseAlpha();
    void OnCutterState();

private:
    void CreateControls();
    void InitDialog();
    void PostCutterState();

    AlphaCutterPreview* m_preview = nullptr;
    QPushButton* m_openButton = nullptr;
    QPushButton* m_reverseAlphaButton = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QString m_cutterPath;
};
