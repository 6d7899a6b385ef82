#include "CompletionPopup.h"

#include "BoxText.h"
#include "PageWidget.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

CompletionPopup::CompletionPopup(PageWidget& page, Source source)
    : QFrame(&page, Qt::ToolTip | Qt::FramelessWindowHint), m_page(page),
      m_source(std::move(source)) {
    // The box keeps the keyboard: the list is shown without taking it.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::Box);
    setAccessibleName(QStringLiteral("输入提示"));
    m_list = new QListWidget(this);
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setAccessibleName(accessibleName());
    m_list->setUniformItemSizes(true);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setFrameShape(QFrame::NoFrame);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(m_list);
    connect(m_list, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { take(m_list->row(item)); });

    for (int i = 0; i < BoxCount; ++i) {
        QWidget* box = page.boxWidget(i);
        box->installEventFilter(this);
        if (auto* line = qobject_cast<QLineEdit*>(box)) {
            connect(line, &QLineEdit::textEdited, this, [this, i] { typed(i); });
        } else if (auto* multi = qobject_cast<QPlainTextEdit*>(box)) {
            connect(multi, &QPlainTextEdit::textChanged, this, [this, i] {
                if (m_typingBox == i)
                    typed(i);
                else if (m_box == i && !m_taking)
                    dismiss();
            });
        }
    }
    // A list left behind by a moved window or a scrolled page would point at nothing.
    page.installEventFilter(this);
    if (page.window() != &page)
        page.window()->installEventFilter(this);
}

void CompletionPopup::typed(int box) {
    if (m_taking)
        return;
    QWidget* widget = m_page.boxWidget(box);
    const QString text = m_page.boxWidgetText(box);
    m_choices = text.isEmpty() || !widget->hasFocus() ? QList<CompletionChoice>()
                                                      : m_source(box, text);
    if (m_choices.isEmpty()) {
        dismiss();
        return;
    }
    m_box = box;
    m_list->clear();
    for (const CompletionChoice& choice : m_choices)
        m_list->addItem(choice.shown);
    // Nothing is chosen until the clerk moves into the list.
    m_list->setCurrentRow(-1);
    place(*widget);
    show();
}

void CompletionPopup::place(QWidget& box) {
    const int rows = std::min<int>(static_cast<int>(m_choices.size()), ShownRows);
    const int rowHeight = std::max(m_list->sizeHintForRow(0), fontMetrics().height());
    const int height = rows * rowHeight + 2 * m_list->frameWidth() + 2;
    const int width = std::max(box.width(), 260);
    QPoint at = box.mapToGlobal(QPoint(0, box.height()));
    // Above the box when the screen has no room under it.
    if (const QScreen* screen = box.screen()) {
        const QRect room = screen->availableGeometry();
        if (at.y() + height > room.bottom() && box.mapToGlobal(QPoint(0, 0)).y() - height >= room.top())
            at.setY(box.mapToGlobal(QPoint(0, 0)).y() - height);
        at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - width)));
    }
    setGeometry(QRect(at, QSize(width, height)));
}

void CompletionPopup::dismiss() {
    m_box = -1;
    m_choices.clear();
    hide();
}

void CompletionPopup::take(int row) {
    if (m_box < 0 || row < 0 || row >= m_choices.size())
        return;
    const QString taken = m_choices[row].taken;
    QWidget* box = m_page.boxWidget(m_box);
    dismiss();
    m_taking = true;
    // Put in as typing is, so the box's own undo takes the pick back.
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        line->selectAll();
        line->insert(taken);
    } else if (auto* multi = qobject_cast<QPlainTextEdit*>(box)) {
        QTextCursor cursor(multi->document());
        cursor.select(QTextCursor::Document);
        cursor.insertText(BoxText::toWidget(taken));
        multi->setTextCursor(cursor);
    }
    m_taking = false;
}

bool CompletionPopup::answerKey(int box, QKeyEvent& key) {
    if (!isVisible() || box != m_box || (key.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    const int current = m_list->currentRow();
    switch (key.key()) {
    case Qt::Key_Down:
        m_list->setCurrentRow(std::min(current + 1, m_list->count() - 1));
        return true;
    case Qt::Key_Up:
        m_list->setCurrentRow(std::max(current - 1, -1));
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (current < 0) {
            dismiss(); // Enter without a chosen line goes on to the next box as always
            return false;
        }
        take(current);
        return true;
    case Qt::Key_Escape:
        dismiss();
        return true;
    default:
        return false;
    }
}

bool CompletionPopup::eventFilter(QObject* watched, QEvent* event) {
    // Read from the box itself: its events still arrive while the page is taken down.
    const QVariant index = watched->property("boxIndex");
    const int box = index.isValid() ? index.toInt() : -1;
    switch (event->type()) {
    case QEvent::ShortcutOverride: {
        // While the list is open Esc and Enter belong to it, not to a window shortcut.
        auto* key = static_cast<QKeyEvent*>(event);
        if (box >= 0 && box == m_box && isVisible() &&
            (key->key() == Qt::Key_Escape || key->key() == Qt::Key_Return ||
             key->key() == Qt::Key_Enter))
            event->accept();
        return false;
    }
    case QEvent::KeyPress:
    case QEvent::InputMethod:
        if (box < 0)
            return false;
        if (event->type() == QEvent::KeyPress && answerKey(box, *static_cast<QKeyEvent*>(event)))
            return true;
        if (qobject_cast<QPlainTextEdit*>(watched)) {
            m_typingBox = box;
            QTimer::singleShot(0, this, [this] { m_typingBox = -1; });
        }
        return false;
    case QEvent::FocusOut:
    case QEvent::Hide:
        if (box >= 0 && box == m_box)
            dismiss();
        return false;
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowDeactivate:
        if (box < 0 && m_box >= 0)
            dismiss();
        return false;
    default:
        return false;
    }
}
