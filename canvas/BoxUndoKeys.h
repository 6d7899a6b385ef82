#pragma once

#include <QObject>

class FormUndo;
class PageWidget;

// Ctrl+Z, Ctrl+Y and Ctrl+Shift+Z inside a box. The box's own typing is undone first; a box
// with nothing of its own to undo passes the key to the form's steps only when the next one
// is a layout step, so a key pressed in a box never writes over texts typed elsewhere.
class BoxUndoKeys : public QObject {
    Q_OBJECT
public:
    BoxUndoKeys(PageWidget& page, FormUndo& undo, QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PageWidget& m_page;
    FormUndo& m_undo;
};
