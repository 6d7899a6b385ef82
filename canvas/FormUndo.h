#pragma once

#include "Catalogue.h"

#include <QObject>
#include <QUndoStack>

#include <functional>

class Form;

// The undo stack of what a clerk can lose by one slip, kept beside the form: layout edits
// (drags, arrow-key steps, fonts, a loaded layout, "自动对齐") and "清 空 内 容". Every
// such edit runs through here as one command that swaps old and new values on the model;
// one drag, or one run of arrow-key steps of the same kind, is one step.
class FormUndo : public QObject {
    Q_OBJECT
public:
    // Kinds of layout step; the first four merge while one run lasts.
    enum class Step {
        Drag = 1,
        KeyMove,
        KeyResize,
        KeyFont,
        FontDialog,
        LayoutLoad,
        TypedGeometry,
        AutoFit
    };
    // What the next undo or redo would change.
    enum class Next { Nothing, Layout, Texts };

    static constexpr int UndoLimit = 200;

    explicit FormUndo(Form& form, QObject* parent = nullptr);

    const QUndoStack& stack() const { return m_stack; }

    // Runs `change` on the form as one step of `step`; a change that alters no box leaves
    // no step.
    void edit(Step step, const std::function<void()>& change);
    // What comes next starts a step of its own: a new press of the mouse, a new drag.
    void endRun() { ++m_run; }

    // Empties boxes 0 to 87 as one step. Undoing it puts the texts back into the boxes that
    // are still empty; redoing it empties the boxes that still hold what the undo put back.
    // So neither ever writes over a text typed after the clear.
    void clearTexts();
    // The boxes now hold the texts of `mode`. A text step taken in the other mode is then
    // passed over, so that undo never writes one mode's texts into the other's boxes.
    void setTextMode(Mode mode) { m_textMode = mode; }
    Mode textMode() const { return m_textMode; }

    // Undo and redo skip the steps that no longer apply.
    void undo();
    void redo();
    // The kind of step undo (redo) would take, passing over the steps that no longer apply.
    Next nextUndo() const;
    Next nextRedo() const;

private:
    Form& m_form;
    QUndoStack m_stack;
    int m_run = 0;
    Mode m_textMode = Mode::Import;
};
