#include "BoxEditor.h"

#include "Form.h"
#include "FormUndo.h"
#include "UserDialogs.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Whole twips, halves to the even neighbour.
int wholeTwips(double value) {
    return static_cast<int>(std::nearbyint(value));
}

bool leftAlone(Qt::MouseButtons buttons) {
    return buttons == Qt::MouseButtons(Qt::LeftButton);
}

bool within(double a, int b, int limit) {
    return std::abs(a - b) <= limit;
}

} // namespace

BoxEditor::BoxEditor(Form& form, UserDialogs& dialogs, QObject* parent)
    : QObject(parent), m_form(form), m_dialogs(dialogs) {}

void BoxEditor::layoutEdit(FormUndo::Step step, const std::function<void()>& change) {
    if (m_undo)
        m_undo->edit(step, change);
    else
        change();
}

void BoxEditor::endEditRun() {
    if (m_undo)
        m_undo->endRun();
}

QString BoxEditor::moveHint() {
    return QStringLiteral("提示：按住鼠标左键(别松开),拖动鼠标,即可移动本输入框位置。");
}
QString BoxEditor::resizeHint() {
    return QStringLiteral("提示：按住鼠标左键(别松开),拖动鼠标,即可改变本输入框大小。");
}
QString BoxEditor::textHint() {
    return QStringLiteral("提示：点击鼠标左键,并输出内容。");
}
QString BoxEditor::bandHint() {
    return QStringLiteral(
        "提示：按住鼠标（别松开）后，移动鼠标，可以选中输入框，并调整其位置及大小！");
}

void BoxEditor::setLocked(bool locked) {
    m_locked = locked;
    if (locked)
        for (int i = 0; i < BoxCount; ++i)
            m_form.setGripState(i, GripText);
}

void BoxEditor::drawOutline(QColor color) {
    const QRect r = QRect(QPoint(m_anchorX, m_anchorY), QPoint(m_cornerX, m_cornerY)).normalized();
    emit outlineDrawn(r, color);
}

void BoxEditor::canvasMouseDown(Qt::MouseButton button, Qt::MouseButtons buttons, QPointF page,
                                Qt::KeyboardModifiers modifiers) {
    if (button == Qt::LeftButton && leftAlone(buttons) && !m_locked) {
        if (m_canvasHint != bandHint()) {
            m_canvasHint = bandHint();
            emit canvasHintChanged(m_canvasHint);
        }
        m_anchorX = m_cornerX = wholeTwips(page.x());
        m_anchorY = m_cornerY = wholeTwips(page.y());
    }
    // Every press on the empty canvas empties the selection, locked or not; a Ctrl+click
    // that misses a box keeps what was gathered.
    if (!(modifiers & Qt::ControlModifier))
        m_form.CtlSelect(false);
}

void BoxEditor::canvasMouseMove(Qt::MouseButtons buttons, QPointF page) {
    if (!leftAlone(buttons) || m_locked)
        return;
    if (within(page.x(), m_cornerX, BandStep) && within(page.y(), m_cornerY, BandStep))
        return;
    if (within(page.x(), m_anchorX, BandDeadZone) && within(page.y(), m_anchorY, BandDeadZone))
        return;
    drawOutline(Qt::white);
    m_cornerX = wholeTwips(page.x());
    m_cornerY = wholeTwips(page.y());
    drawOutline(Qt::black);
    // The selection follows the band only when it is redrawn.
    m_form.CtlSelect(true, m_anchorX, m_anchorY, m_cornerX, m_cornerY);
}

void BoxEditor::canvasMouseUp(Qt::MouseButton button, QPointF) {
    if (button != Qt::LeftButton || m_locked)
        return;
    drawOutline(Qt::white);
}

void BoxEditor::boxMouseMove(int index, Qt::MouseButtons buttons, QPointF local) {
    if (index < 0 || index >= BoxCount)
        return;
    const Box& box = m_form.box(index);
    if (!leftAlone(buttons)) {
        if (m_locked) {
            m_form.setGripState(index, GripText);
            return;
        }
        QString hint;
        const QSizeF grip = gripSize(index);
        if (local.x() < grip.width() && local.y() < grip.height()) {
            m_form.setGripState(index, GripMove);
            hint = moveHint();
        } else if (local.x() > box.width - grip.width() && local.y() > box.height - grip.height()) {
            m_form.setGripState(index, GripResize);
            hint = resizeHint();
        } else {
            m_form.setGripState(index, GripText);
            hint = textHint();
        }
        emit boxHintChanged(index, hint);
        m_anchorX = wholeTwips(local.x());
        m_anchorY = wholeTwips(local.y());
        return;
    }
    // Dragging: the lock acts through the grip state the hover left.
    const bool still =
        within(local.x(), m_anchorX, DragThreshold) && within(local.y(), m_anchorY, DragThreshold);
    const auto dx = static_cast<float>(local.x() - m_anchorX);
    const auto dy = static_cast<float>(local.y() - m_anchorY);
    const FormUndo::Step drag = FormUndo::Step::Drag;
    if (box.gripState == GripMove && !still) {
        // The reference point stays: the box follows the pointer.
        layoutEdit(drag, [&] { m_form.CtlMove(index, dx, dy); });
    } else if (box.gripState == GripResize && !still) {
        layoutEdit(drag, [&] { m_form.CtlChange(index, dx, dy); });
        // The top-left corner stays, so the reference point moves with the pointer.
        m_anchorX = wholeTwips(local.x());
        m_anchorY = wholeTwips(local.y());
    }
}

QSizeF BoxEditor::gripSize(int index) const {
    const Box& box = m_form.box(index);
    const double side = std::max<double>(GripZone, m_minimumGrip);
    return {std::min<double>(side, box.width / 3.0), std::min<double>(side, box.height / 3.0)};
}

void BoxEditor::boxClick(int index, Qt::KeyboardModifiers modifiers) {
    if ((modifiers & Qt::ControlModifier) && !m_locked && index >= 0 && index < BoxCount) {
        m_form.setSelected(index, !m_form.box(index).selected());
        return;
    }
    m_form.CtlSelect(false);
}

void BoxEditor::boxRightPress(int index, QPointF local) {
    if (index < 0 || index >= BoxCount)
        return;
    const Box& box = m_form.box(index);
    m_form.setTag(index, box.selected() ? QStringLiteral("1") : QStringLiteral("0"));
    m_form.setSelected(index, true);
    m_form.setEnabled(index, false);
    m_menuPosition = QPointF(box.left + local.x(), box.top + local.y() + 200);
}

void BoxEditor::fontMenuClosed(int index) {
    if (index >= 0 && index < BoxCount)
        m_form.setEnabled(index, true);
}

void BoxEditor::FontStyle() {
    int reference = -1;
    for (int i = 0; i < BoxCount && reference < 0; ++i)
        if (!m_form.box(i).tag.isEmpty())
            reference = i;
    if (reference < 0)
        return;
    const Box& ref = m_form.box(reference);
    FontChoice initial{ref.fontName,      ref.fontSize,       ref.fontBold, ref.fontItalic,
                       ref.fontUnderline, ref.fontStrikethru, ref.foreColor};
    if (const std::optional<FontChoice> chosen = m_dialogs.chooseFont(initial)) {
        layoutEdit(FormUndo::Step::FontDialog, [&] {
            for (int i = 0; i < BoxCount; ++i) {
                if (!m_form.box(i).selected())
                    continue;
                m_form.setFontName(i, chosen->name);
                m_form.setFontSize(i, chosen->size);
                m_form.setFontBold(i, chosen->bold);
                m_form.setFontItalic(i, chosen->italic);
                m_form.setForeColor(i, chosen->color);
                m_form.setFontStrikethru(i, chosen->strikethru);
                m_form.setFontUnderline(i, chosen->underline);
            }
        });
    }
    // The right-clicked box gets its former selection back, whatever the dialog did.
    m_form.setSelected(reference, m_form.box(reference).tag == QLatin1String("1"));
    m_form.setTag(reference, QString());
}

bool BoxEditor::CtlKeys(int key, Qt::KeyboardModifiers modifiers) {
    const Qt::KeyboardModifiers mods = modifiers & ~Qt::KeypadModifier;
    int dx = 0;
    int dy = 0;
    switch (key) {
    case Qt::Key_Left:
        dx = -1;
        break;
    case Qt::Key_Right:
        dx = 1;
        break;
    case Qt::Key_Up:
        dy = -1;
        break;
    case Qt::Key_Down:
        dy = 1;
        break;
    default:
        return false;
    }
    using Step = FormUndo::Step;
    if (mods == Qt::NoModifier)
        layoutEdit(Step::KeyMove, [&] { m_form.CtlMove(-1, dx * KeyStep, dy * KeyStep); });
    else if (mods == Qt::ShiftModifier)
        layoutEdit(Step::KeyResize, [&] { m_form.CtlChange(-1, dx * KeyStep, dy * KeyStep); });
    else if (mods == Qt::ControlModifier)
        // Left and up make the font smaller, right and down larger.
        layoutEdit(Step::KeyFont, [&] { m_form.FontSizeChange(-1, (dx + dy) * FontStep); });
    else
        return false;
    return true;
}
