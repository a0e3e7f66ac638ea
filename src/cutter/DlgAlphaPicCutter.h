// The "Alpha Picture Cutter" dialog: loads a cutter picture, lets the user place the picture
// under it in the preview control and confirms the cut. Only the path of the cutter used
// survives the dialog, in the settings, and only after OK.
#pragma once

#include <QDialog>
#include <QString>

class AlphaPicCutterView;
class QPushButton;

class DlgAlphaPicCutter : public QDialog {
    Q_OBJECT
public:
    // Lays out the controls and loads the cutter used last time, if it still loads.
    explicit DlgAlphaPicCutter(QWidget* parent = nullptr);

    AlphaPicCutterView* CutterView() const { return m_ctlView; }
    QPushButton* OpenButton() const { return m_btnOpen; }
    QPushButton* ReverseAlphaButton() const { return m_btnReverseAlpha; }
    QPushButton* OkButton() const { return m_btnOK; }
    QPushButton* CancelButton() const { return m_btnCancel; }
    // The file of the cutter in use; empty until one has been loaded.
    const QString& CutterPath() const { return m_strCutterPath; }

    // OK: closes only when the cut can be made, and then remembers the cutter's path.
    void accept() override;

    // "Open...", "Reverse Alpha" and ID_CUTTER_STATE.
    void OnOpen();
    void OnReverseAlpha();
    void OnCutterState();

private:
    void CreateControls();
    void InitDialog();
    void PostCutterState();

    AlphaPicCutterView* m_ctlView = nullptr;
    QPushButton* m_btnOpen = nullptr;
    QPushButton* m_btnReverseAlpha = nullptr;
    QPushButton* m_btnOK = nullptr;
    QPushButton* m_btnCancel = nullptr;
    QString m_strCutterPath;
};
