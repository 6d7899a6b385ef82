#pragma once

#include <QWidget>

class QAction;
class QLabel;
class QMenu;

// The hidden window `菜单` that carries the popup menu of the boxes; it is never shown.
class FontMenuForm : public QWidget {
    Q_OBJECT
public:
    explicit FontMenuForm(QWidget* parent = nullptr);

    QMenu* FontMenu() const { return m_fontMenu; }
    QAction* FontStyle() const { return m_fontStyle; }

    // Opens the menu at a global position and waits; true when "修改字体" was chosen.
    bool popUp(QPoint globalPosition);

private:
    QLabel* m_label1 = nullptr;
    QMenu* m_fontMenu = nullptr;
    QAction* m_fontStyle = nullptr;
};
