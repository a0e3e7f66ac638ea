// The ribbon at the top of the main frame, in Qt widgets: the application button with its
// "File" menu, the category tabs "&Home" and "&Options", the tab-row buttons "Windows",
// "Style" and "About", and the categories with their panels. It sends command ids only; the
// states of its elements come from the update handlers on every update pass of the router.
#pragma once

#include <QWidget>

#include <vector>

#include "app/RibbonCategory.h"
#include "app/RibbonWidgets.h"

class CommandMenu;
struct LookColours;
class QStackedWidget;
class QTabBar;
class RibbonKeyTips;

class MainRibbonBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kAppButtonSize = 45;

    explicit MainRibbonBar(QWidget* parent = nullptr);
    ~MainRibbonBar() override;

    // The one ribbon of the program, null when there is none.
    static MainRibbonBar* Instance();

    // The three set-up steps, run by the frame in this order right after creation.
    void SetupApplicationMenu();
    void SetupHomeCategory();
    void SetupOptionsCategory();

    // The first element carrying the command id (tab row, application menu, then the
    // categories in order), or null.
    RibbonElement* FindElementById(uint32_t id) const;

    // ---- structure, read by the frame, the key tips and the tests --------------------------
    RibbonButton* ApplicationButton() const { return m_appButton; }
    CommandMenu* ApplicationMenu() const { return m_appMenu; }
    RibbonCategory* ApplicationCategory() const { return m_appCategory; }
    const std::vector<RibbonMenuItem*>& ApplicationMenuItems() const { return m_appMenuItems; }
    const std::vector<RibbonButton*>& TabRowButtons() const { return m_tabRowButtons; }
    const std::vector<RibbonCategory*>& Categories() const { return m_categories; }
    CommandMenu* StyleMenu() const { return m_styleMenu; }
    QTabBar* Tabs() const { return m_tabs; }
    RibbonCategory* ActiveCategory() const;
    void SetActiveCategory(RibbonCategory* category);
    RibbonKeyTips* KeyTips() const { return m_keyTips; }

    // Every text the Cropbox and Border buttons can show (the preset names with "Free"; "No"
    // and the percentages).
    static QStringList CropboxButtonTexts();
    static QStringList BorderButtonTexts();

    // Brings every element up to date with its command's state.
    void UpdateElements();

    // Takes the text colours of a look; the backgrounds follow the current look when painted.
    void ApplyLook(const LookColours& look);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void AddCategory(RibbonCategory* category);
    RibbonButton* AddTabRowButton(uint32_t id, const QString& text, const QIcon& icon, int iconIndex);
    CommandMenu* MakeCropboxMenu();
    CommandMenu* MakeBorderMenu();
    std::vector<RibbonElement*> AllElements() const;

    RibbonButton* m_appButton = nullptr;
    CommandMenu* m_appMenu = nullptr;
    RibbonCategory* m_appCategory = nullptr;
    std::vector<RibbonMenuItem*> m_appMenuItems;
    std::vector<RibbonButton*> m_tabRowButtons;
    CommandMenu* m_styleMenu = nullptr;
    std::vector<RibbonCategory*> m_categories;
    QTabBar* m_tabs;
    QWidget* m_tabRow;
    QStackedWidget* m_pages;
    RibbonKeyTips* m_keyTips;
};
