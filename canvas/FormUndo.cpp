#include "FormUndo.h"

#include "Form.h"

#include <QUndoCommand>

#include <map>

namespace {

// What a layout step can change of one box: the attributes a layout holds, and where the
// caption label stands, since moves and loads carry the label along.
struct BoxLayout {
    Box box;
    float labelLeft = 0, labelTop = 0;

    bool operator==(const BoxLayout& other) const {
        return box.layoutFields() == other.box.layoutFields() && labelLeft == other.labelLeft &&
               labelTop == other.labelTop;
    }
};

using Layout = std::map<int, BoxLayout>;

BoxLayout layoutOf(const Form& form, int i) {
    return {form.box(i), form.label(i).left, form.label(i).top};
}

Layout snapshot(const Form& form) {
    Layout all;
    for (int i = 0; i < BoxCount; ++i)
        all.emplace(i, layoutOf(form, i));
    return all;
}

void applyLayout(Form& form, const Layout& layout) {
    for (const auto& [i, v] : layout) {
        form.setLayout(i, v.box);
        form.setLabelPosition(i, v.labelLeft, v.labelTop);
    }
}

// Every step says what it changes and whether it still applies to the boxes as they are.
class FormStep : public QUndoCommand {
public:
    virtual FormUndo::Next changes() const = 0;
    virtual bool applies() const { return !isObsolete(); }
};

// A layout step keeps only the boxes it changed, so that undoing it leaves every other box
// as it stands, whatever happened to them since.
class LayoutCommand : public FormStep {
public:
    LayoutCommand(Form& form, FormUndo::Step step, int run, Layout before, Layout after)
        : m_form(form), m_step(step), m_run(run), m_before(std::move(before)),
          m_after(std::move(after)) {}

    int id() const override {
        switch (m_step) {
        case FormUndo::Step::Drag:
        case FormUndo::Step::KeyMove:
        case FormUndo::Step::KeyResize:
        case FormUndo::Step::KeyFont:
            return static_cast<int>(m_step);
        default:
            return -1;
        }
    }

    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const LayoutCommand*>(other);
        if (next->m_run != m_run)
            return false;
        for (const auto& [i, v] : next->m_after) {
            m_after[i] = v;
            m_before.try_emplace(i, next->m_before.at(i));
        }
        // A drag that ends where it began leaves no step.
        setObsolete(m_before == m_after);
        return true;
    }

    FormUndo::Next changes() const override { return FormUndo::Next::Layout; }

    void undo() override { applyLayout(m_form, m_before); }
    void redo() override {
        // The change is on the model already when the step is pushed.
        if (m_done)
            applyLayout(m_form, m_after);
        m_done = true;
    }

private:
    Form& m_form;
    FormUndo::Step m_step;
    int m_run;
    Layout m_before;
    Layout m_after;
    bool m_done = false;
};

class ClearTextsCommand : public FormStep {
public:
    ClearTextsCommand(Form& form, const FormUndo& owner)
        : m_form(form), m_owner(owner), m_mode(owner.textMode()) {
        for (std::size_t i = 0; i < BoxCount; ++i) {
            m_texts[i] = form.text(static_cast<int>(i));
            m_putBack[i] = !m_texts[i].isEmpty();
        }
    }

    FormUndo::Next changes() const override { return FormUndo::Next::Texts; }
    bool applies() const override { return !isObsolete() && m_owner.textMode() == m_mode; }

    void undo() override {
        if (stale())
            return;
        // A box the clerk has typed into since the clear keeps what was typed.
        for (std::size_t i = 0; i < BoxCount; ++i) {
            const int box = static_cast<int>(i);
            m_putBack[i] = !m_texts[i].isEmpty() && m_form.text(box).isEmpty();
            if (m_putBack[i])
                m_form.setText(box, m_texts[i]);
        }
    }
    void redo() override {
        if (stale())
            return;
        // Only a text still as the clear found it (or as the undo put it back) goes.
        for (std::size_t i = 0; i < BoxCount; ++i) {
            const int box = static_cast<int>(i);
            if (m_putBack[i] && m_form.text(box) == m_texts[i])
                m_form.setText(box, QString());
        }
    }

private:
    // Once the boxes hold the other mode's texts the step is dropped unused.
    bool stale() {
        if (!applies())
            setObsolete(true);
        return isObsolete();
    }

    Form& m_form;
    const FormUndo& m_owner;
    Mode m_mode;
    std::array<QString, BoxCount> m_texts;
    // The boxes the last undo filled, which are all the clear may empty again.
    std::array<bool, BoxCount> m_putBack{};
};

} // namespace

FormUndo::FormUndo(Form& form, QObject* parent) : QObject(parent), m_form(form) {
    m_stack.setUndoLimit(UndoLimit);
}

void FormUndo::edit(Step step, const std::function<void()>& change) {
    const Layout before = snapshot(m_form);
    change();
    Layout changedBefore;
    Layout changedAfter;
    for (const auto& [i, v] : before) {
        BoxLayout now = layoutOf(m_form, i);
        if (now == v)
            continue;
        changedBefore.emplace(i, v);
        changedAfter.emplace(i, std::move(now));
    }
    if (changedAfter.empty())
        return;
    m_stack.push(
        new LayoutCommand(m_form, step, m_run, std::move(changedBefore), std::move(changedAfter)));
}

void FormUndo::clearTexts() {
    if (m_form.allEmpty())
        return;
    m_stack.push(new ClearTextsCommand(m_form, *this));
}

void FormUndo::undo() {
    // A dropped step is taken off the stack by the stack itself; the next one is undone.
    while (m_stack.canUndo()) {
        const int steps = m_stack.count();
        m_stack.undo();
        if (m_stack.count() == steps)
            return;
    }
}

FormUndo::Next FormUndo::nextUndo() const {
    for (int i = m_stack.index() - 1; i >= 0; --i)
        if (const auto* step = static_cast<const FormStep*>(m_stack.command(i)); step->applies())
            return step->changes();
    return Next::Nothing;
}

FormUndo::Next FormUndo::nextRedo() const {
    for (int i = m_stack.index(); i < m_stack.count(); ++i)
        if (const auto* step = static_cast<const FormStep*>(m_stack.command(i)); step->applies())
            return step->changes();
    return Next::Nothing;
}

void FormUndo::redo() {
    while (m_stack.canRedo()) {
        const int steps = m_stack.count();
        m_stack.redo();
        if (m_stack.count() == steps)
            return;
    }
}
