// Key tips of the ribbon: pressing and releasing Alt alone shows a letter beside the
// application button, each category tab and each tab-row button; typing a letter activates
// its element (a tab then shows the letters of its category's elements); Escape goes back one
// level and then leaves; a mouse click or another window leaves as well.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

class MainRibbonBar;
class RibbonCategory;
class QLabel;

class RibbonKeyTips : public QObject {
    Q_OBJECT
public:
    enum class Level { Off, TabRow, Category };

    explicit RibbonKeyTips(MainRibbonBar* ribbon);
    ~RibbonKeyTips() override;

    Level CurrentLevel() const { return m_level; }
    // The letters on show, in element order.
    QStringList ShownKeys() const;

    void ShowTabRow();
    void ShowCategory(RibbonCategory* category);
    void Leave();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Tip {
        QString key;
        QPointer<QWidget> anchor;
        std::function<void()> activate;
    };
    void Show(std::vector<Tip> tips, Level level);
    void ClearBadges();
    bool TypeKey(const QString& text);
    bool BelongsToRibbonWindow(QObject* watched) const;

    MainRibbonBar* m_ribbon;
    Level m_level = Level::Off;
    std::vector<Tip> m_tips;
    std::vector<QPointer<QLabel>> m_badges;
    bool m_altAlone = false;
};
