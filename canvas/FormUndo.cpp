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

// A layout step keeps only the boxes it changed, so that undoing it leaves every other box
// as it stands, whatever happened to them since.
class LayoutCommand : public QUndoCommand {
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

class ClearTextsCommand : public QUndoCommand {
public:
    ClearTextsCommand(Form& form, const FormUndo& owner)
        : m_form(form), m_owner(owner), m_mode(owner.textMode()) {
        for (int i = 0; i < BoxCount; ++i)
            m_texts[static_cast<std::size_t>(i)] = form.text(i);
    }

    void undo() override {
        if (stale())
            return;
        for (int i = 0; i < BoxCount; ++i)
            m_form.setText(i, m_texts[static_cast<std::size_t>(i)]);
    }
    void redo() override {
        if (!stale())
            m_form.clearAll();
    }

private:
    // Once the boxes hold the other mode's texts the step is dropped unused.
    bool stale() {
        if (m_owner.textMode() != m_mode)
            setObsolete(true);
        return isObsolete();
    }

    Form& m_form;
    const FormUndo& m_owner;
    Mode m_mode;
    std::array<QString, BoxCount> m_texts;
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

void FormUndo::redo() {
    while (m_stack.canRedo()) {
        const int steps = m_stack.count();
        m_stack.redo();
        if (m_stack.count() == steps)
            return;
    }
}
