#include "HistoryGrid.h"
#include "Units.h"

#include <QStyle>

#include "HistoryCommands.h"
#include "HistoryGridModel.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QItemSelectionModel>

#include <algorithm>
#include <cmath>

namespace {

const QChar Ascending = u'△';
const QChar Descending = u'▽';

int twipsToPixels(int twips) {
    return ScreenTwips::toPixels(twips);
}

} // namespace

HistoryGrid::HistoryGrid(DataBase& db, UserDialogs& dialogs, QWidget* parent)
    : QTableView(parent), m_db(db), m_dialogs(dialogs), m_model(new HistoryGridModel(this)) {
    setModel(m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setSortingEnabled(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Equal row heights keep ten thousand rows cheap to lay out.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setColumnHidden(HistoryGridModel::OrdColumn, true);
    setColumnHidden(HistoryGridModel::SequenceColumn, true);

    connect(horizontalHeader(), &QHeaderView::sectionPressed, this, &HistoryGrid::headerPressed);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            &HistoryGrid::userResizedSection);
    connect(m_model, &HistoryGridModel::colWidthChanged, this, &HistoryGrid::applyColWidth);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { applyColWidth(-1); });

    // The top-left corner re-fits the widths instead of selecting everything.
    if (auto* corner = findChild<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        disconnect(corner, nullptr, this, nullptr);
        connect(corner, &QAbstractButton::pressed, this, &HistoryGrid::cornerPressed);
    }
    applyColWidth(-1);
}

GridAccess& HistoryGrid::access() {
    return *m_model;
}

bool HistoryGrid::FillHistoryGrid(Mode mode) {
    m_mode = mode;
    m_sortColumn = -1; // the fill writes the headers without a mark
    // Hidden while it fills, so that it is drawn once.
    setUpdatesEnabled(false);
    const bool ok =
        HistoryCommands::FillHistoryGrid(*m_model, m_db, m_dialogs, mode, window()->font());
    // The colouring walks every cell, so the last row of the last column ends up current.
    const int last = m_model->rows() - 1;
    const bool scrolls = hasAutoScroll();
    setAutoScroll(false);
    setGridSelection(last, last);
    if (last >= 1)
        selectionModel()->setCurrentIndex(
            m_model->index(last - 1, HistoryGridModel::ColumnCount - 1),
            QItemSelectionModel::NoUpdate);
    setAutoScroll(scrolls);
    setUpdatesEnabled(true);
    return ok;
}

void HistoryGrid::setFilterText(const QString& text) {
    m_model->setFilterText(text);
    // The clerk's horizontal place in the grid stays.
    const bool scrolls = hasAutoScroll();
    setAutoScroll(false);
    setGridSelection(1, 1);
    setAutoScroll(scrolls);
}

bool HistoryGrid::DeleteGridRows() {
    const auto [row, otherEnd] = rowSelection();
    const bool deleted =
        HistoryCommands::DeleteGridRows(*m_model, m_db, m_dialogs, m_mode, row, otherEnd);
    if (deleted) {
        // The row that moved up into the first deleted place becomes current.
        const int next = std::min(std::min(row, otherEnd), m_model->rows() - 1);
        setGridSelection(next, next);
    }
    return deleted;
}

bool HistoryGrid::ClearHistory(Mode mode) {
    return HistoryCommands::ClearHistory(*m_model, m_db, m_dialogs, mode);
}

bool HistoryGrid::RestoreGridRow(Form& form, Mode mode, const std::function<void()>& showFormView) {
    return HistoryCommands::RestoreGridRow(*m_model, currentGridRow(), form, m_db, m_dialogs, mode,
                                           showFormView);
}

void HistoryGrid::AdjustColWidth(const QFont& windowFont) {
    m_model->AdjustColWidth(windowFont);
}

void HistoryGrid::SetColColor(int col, const QColor& color) {
    m_model->SetColColor(col, color);
}

void HistoryGrid::SetColBKColor(int col, const QColor& color) {
    m_model->SetColBKColor(col, color);
}

std::pair<int, int> HistoryGrid::rowSelection() const {
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return {0, 0};
    const int moving = current.row();
    // The selected block that holds the current row; its far end is where it started.
    std::vector<std::pair<int, int>> spans;
    for (const QItemSelectionRange& r : selectionModel()->selection())
        spans.emplace_back(r.top(), r.bottom());
    std::sort(spans.begin(), spans.end());
    int top = moving;
    int bottom = moving;
    bool inside = false;
    for (const auto& [t, b] : spans) {
        if (!inside && t <= moving && moving <= b) {
            top = t;
            bottom = b;
            inside = true;
        } else if (inside && t <= bottom + 1) {
            bottom = std::max(bottom, b);
        }
    }
    for (auto it = spans.rbegin(); inside && it != spans.rend(); ++it)
        if (it->second >= top - 1 && it->first < top)
            top = it->first;
    const int anchor = !inside ? moving : (moving == top ? bottom : top);
    return {anchor + 1, moving + 1};
}

int HistoryGrid::currentGridRow() const {
    return rowSelection().first;
}

int HistoryGrid::selectionEndRow() const {
    return rowSelection().second;
}

void HistoryGrid::setGridSelection(int row, int otherEnd) {
    const int last = m_model->rows() - 1;
    if (row < 1 || row > last) {
        selectionModel()->clear();
        return;
    }
    otherEnd = std::clamp(otherEnd, 1, last);
    const int col =
        currentIndex().isValid() ? currentIndex().column() : HistoryGridModel::DateColumn;
    const QItemSelection block(
        m_model->index(std::min(row, otherEnd) - 1, 0),
        m_model->index(std::max(row, otherEnd) - 1, HistoryGridModel::ColumnCount - 1));
    selectionModel()->select(block, QItemSelectionModel::ClearAndSelect);
    selectionModel()->setCurrentIndex(m_model->index(otherEnd - 1, col),
                                      QItemSelectionModel::NoUpdate);
}

void HistoryGrid::headerPressed(int col) {
    if (col < HistoryGridModel::DateColumn || col >= HistoryGridModel::ColumnCount)
        return;
    const QModelIndex current = currentIndex();
    if (current.isValid())
        selectionModel()->setCurrentIndex(m_model->index(current.row(), col),
                                          QItemSelectionModel::NoUpdate);
    // Only one header carries a mark: the old one loses it, the pressed one shows the order.
    if (m_sortColumn >= 0 && m_sortColumn != col)
        m_model->setText(0, m_sortColumn, m_model->text(0, m_sortColumn).chopped(1));
    const bool again = m_sortColumn == col;
    const QString caption = again ? m_model->text(0, col).chopped(1) : m_model->text(0, col);
    m_sortAscending = !again || !m_sortAscending;
    m_sortColumn = col;
    m_model->setText(0, col, caption + (m_sortAscending ? Ascending : Descending));
    m_model->sortByColumn(col, m_sortAscending);
}

void HistoryGrid::cornerPressed() {
    AdjustColWidth(window()->font());
}

int HistoryGrid::cellMarginPixels() const {
    // The cell draws its text inside a margin on either side and a grid line: a fitted
    // width counts the text alone, so without these the last characters were elided.
    const int textMargin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    return 2 * textMargin + (showGrid() ? 1 : 0);
}

void HistoryGrid::applyColWidth(int col) {
    m_applyingWidths = true;
    const auto apply = [this](int c) {
        const int twips = m_model->colWidthTwips(c);
        if (c == HistoryGridModel::SequenceColumn)
            verticalHeader()->setFixedWidth(twipsToPixels(twips));
        else if (c != HistoryGridModel::OrdColumn) {
            setColumnHidden(c, twips == 0);
            if (twips != 0)
                setColumnWidth(c, twipsToPixels(twips) + cellMarginPixels());
        }
    };
    if (col >= 0)
        apply(col);
    else
        for (int c = 0; c < HistoryGridModel::ColumnCount; ++c)
            apply(c);
    m_applyingWidths = false;
}

void HistoryGrid::userResizedSection(int col, int, int newSize) {
    // A width the user dragged is the width the export takes.
    if (!m_applyingWidths && col > HistoryGridModel::SequenceColumn && newSize > 0)
        m_model->setColWidthTwips(col, static_cast<int>(ScreenTwips::fromPixels(
                                           std::max(newSize - cellMarginPixels(), 1))));
}
