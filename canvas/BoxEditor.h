#pragma once

#include "FormUndo.h"

#include <QColor>
#include <QObject>
#include <QPointF>
#include <QRect>
#include <QSizeF>
#include <QString>

#include <functional>

class Form;
class UserDialogs;

// Box editing with the mouse and the keys, on the model: the rubber band on the empty
// canvas, the grips of a box, dragging and resizing, the font menu. Every position it
// is given is in page twips, so the same thresholds hold at every zoom.
class BoxEditor : public QObject {
    Q_OBJECT
public:
    static constexpr int BandDeadZone = 500;
    static constexpr int BandStep = 100;
    static constexpr int DragThreshold = 12;
    static constexpr int GripZone = 100;
    static constexpr float KeyStep = 10;
    static constexpr float FontStep = 1;

    // Grip states of a box (its pointer shape).
    static constexpr int GripNone = 0;
    static constexpr int GripMove = 1;
    static constexpr int GripText = 3;
    static constexpr int GripResize = 8;

    BoxEditor(Form& form, UserDialogs& dialogs, QObject* parent = nullptr);

    // With an undo stack every change of the layout becomes a step on it.
    void setUndo(FormUndo* undo) { m_undo = undo; }
    // A press or a release of the mouse ends a drag or a run of arrow keys.
    void endEditRun();

    // The "锁定格式" check box: true locks the layout against mouse editing.
    bool locked() const { return m_locked; }
    // Locking also turns every grip into the text pointer, so that a drag that starts where
    // the pointer rested before the lock moves nothing.
    void setLocked(bool locked);

    // The empty canvas. `button` caused the event; `buttons` are all held.
    void canvasMouseDown(Qt::MouseButton button, Qt::MouseButtons buttons, QPointF page,
                         Qt::KeyboardModifiers modifiers = {});
    void canvasMouseMove(Qt::MouseButtons buttons, QPointF page);
    void canvasMouseUp(Qt::MouseButton button, QPointF page);

    // A box; `local` is the pointer relative to the box's top-left corner.
    void boxMouseMove(int index, Qt::MouseButtons buttons, QPointF local);
    // A click empties the selection; with Ctrl, unlocked, it adds or removes this box only.
    void boxClick(int index, Qt::KeyboardModifiers modifiers = {});
    // The least grip, in page twips: what a few pixels are at the page's zoom.
    void setMinimumGrip(double pageTwips) { m_minimumGrip = pageTwips; }
    // The side of a box's grips: GripZone, at least the minimum grip, at most a third of
    // the box's side.
    QSizeF gripSize(int index) const;
    // Right button on a box: marks it and makes it part of the selection; the caller
    // then shows the font menu at menuPosition() and calls fontMenuClosed() afterwards.
    void boxRightPress(int index, QPointF local);
    void fontMenuClosed(int index);
    // The menu item "修改字体".
    void FontStyle();

    // Arrow keys: move, Shift resize, Ctrl re-font the selected boxes. The lock is not
    // consulted and the key is not consumed. Returns whether the key was an editing key.
    bool CtlKeys(int key, Qt::KeyboardModifiers modifiers);

    QPoint anchor() const { return {m_anchorX, m_anchorY}; }
    // Where the font menu opens, in page twips: the box's position plus the pointer,
    // 200 lower.
    QPointF menuPosition() const { return m_menuPosition; }

    static QString moveHint();
    static QString resizeHint();
    static QString textHint();
    static QString bandHint();

signals:
    // An outline from corner to corner to draw on the canvas: white erases the band.
    void outlineDrawn(QRect pageRect, QColor color);
    void canvasHintChanged(const QString& hint);
    void boxHintChanged(int index, const QString& hint);

private:
    void drawOutline(QColor color);
    void layoutEdit(FormUndo::Step step, const std::function<void()>& change);

    Form& m_form;
    UserDialogs& m_dialogs;
    FormUndo* m_undo = nullptr;
    bool m_locked = true;
    int m_anchorX = 0;
    int m_anchorY = 0;
    int m_cornerX = 0;
    int m_cornerY = 0;
    QString m_canvasHint;
    QPointF m_menuPosition;
    double m_minimumGrip = 0;
};
