// The status bar of the main frame: the pane "File" in the main area on the left and "Image"
// and "Crop Box" in the extended area on the right. Each pane is as wide
// as its width template and cuts longer texts at its right edge; its text comes from the
// update handlers (the picture view) on every update pass. In a narrow window the panes shrink
// below their templates, down to their labels' widths. The bar's context menu hides and
// shows each pane by its label. A pane whose handler adds a note is flagged: it shows in warning
// colours and the note is its tooltip.
#pragma once

#include <QLabel>
#include <QStatusBar>

#include <cstdint>
#include <vector>

class QMenu;
struct LookColours;

// A label as wide as its template (less when the bar is short of room) that elides its text
// at the right edge.
class StatusPane : public QLabel {
    Q_OBJECT
public:
    StatusPane(uint32_t id, const QString& label, const QString& widthTemplate, QWidget* parent);
    uint32_t Id() const { return m_id; }
    const QString& PaneLabel() const { return m_label; }
    // The whole text, as the update handler gave it.
    const QString& FullText() const { return m_fullText; }
    void SetPaneText(const QString& text);
    // A note flags the pane: it shows in warning colours and the note is its tooltip.
    // An empty note clears the flag.
    void SetNote(const QString& note);
    const QString& Note() const { return m_note; }
    bool IsFlagged() const { return !m_note.isEmpty(); }
    // The background of a flagged pane.
    static QColor WarningBackground();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Sizes the pane for its template in its current font.
    void MeasureTemplate();
    void ShowElided();

    uint32_t m_id;
    QString m_label;
    QString m_template;
    QString m_fullText;
    QString m_note;
    int m_templateWidth = 0;
};

class SnipwellStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit SnipwellStatusBar(QWidget* parent = nullptr);

    // Adds a pane on the left (main area) or the right (extended area).
    StatusPane* AddPane(uint32_t id, const QString& label, const QString& widthTemplate, bool extendedArea);
    StatusPane* Pane(uint32_t id) const;
    const std::vector<StatusPane*>& Panes() const { return m_panes; }

    // The menu the bar shows on a right click: one checkable item per pane.
    QMenu* CreatePaneMenu(QWidget* parent);

    // Takes the texts of the panes from the update handlers.
    void UpdatePanes();

    // Takes the text colour of a look; the background follows the current look when painted.
    void ApplyLook(const LookColours& look);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<StatusPane*> m_panes;
};
