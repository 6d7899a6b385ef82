#pragma once

#include <QObject>
#include <QPoint>

#include <functional>

class BandOverlay;
class BoxEditor;
class FontMenuForm;
class PageWidget;

// Connects the page widget's mouse events to the box editor: pointer positions become
// page twips before the editor sees them, the band is drawn over the page under the boxes,
// hints become tooltips, and a right click on a box opens the font menu.
class BoxMouseEditing : public QObject {
    Q_OBJECT
public:
    BoxMouseEditing(PageWidget& page, BoxEditor& editor, QObject* parent = nullptr);

    // Shows the font menu at a global position; true when "修改字体" was chosen. Tests
    // replace it, since a real popup waits for the user.
    void setMenuRunner(std::function<bool(QPoint)> runner) { m_menuRunner = std::move(runner); }
    FontMenuForm* menuForm() const { return m_menuForm; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool canvasEvent(QEvent* event);
    bool boxEvent(int index, QEvent* event);
    QPointF pageOf(QPointF globalPixel) const;
    void openFontMenu(int index, QPointF local);

    PageWidget& m_page;
    BoxEditor& m_editor;
    FontMenuForm* m_menuForm = nullptr;
    BandOverlay* m_band = nullptr;
    std::function<bool(QPoint)> m_menuRunner;
    int m_pressedBox = -1;
};
