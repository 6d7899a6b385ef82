#include "Sheets.h"
#include "Units.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>

namespace {

QRect twips(int left, int top, int width, int height) {
    return ScreenTwips::toPixelRect(QRectF(left, top, width, height));
}

} // namespace

Sheets::Sheets(const QStringList& sheetNames, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Sheets"));
    setWindowTitle(QStringLiteral("选择要导入的表格"));
    setFixedSize(ScreenTwips::toPixels(120 + 5700 + 120), ScreenTwips::toPixels(3840 + 375 + 240));

    m_list = new QTableWidget(static_cast<int>(sheetNames.size()), 3, this);
    m_list->setObjectName(QStringLiteral("SHL"));
    m_list->setGeometry(twips(120, 120, 5700, 3495));
    m_list->setHorizontalHeaderLabels(
        {QStringLiteral("No."), QStringLiteral("选择"), QStringLiteral("表格名称")});
    m_list->verticalHeader()->hide();
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setColumnWidth(0, ScreenTwips::toPixels(500));
    m_list->setColumnWidth(1, ScreenTwips::toPixels(480));
    m_list->setColumnWidth(2, ScreenTwips::toPixels(4400));
    m_list->horizontalHeaderItem(0)->setTextAlignment(Qt::AlignLeft | Qt::AlignTop);
    for (int k = 0; k < sheetNames.size(); ++k) {
        auto* number = new QTableWidgetItem(QString::number(k + 1));
        number->setTextAlignment(Qt::AlignLeft | Qt::AlignTop);
        m_list->setItem(k, 0, number);
        auto* mark = new QTableWidgetItem(k == 0 ? Sheets::mark() : QString());
        mark->setTextAlignment(Qt::AlignCenter);
        m_list->setItem(k, 1, mark);
        m_list->setItem(k, 2, new QTableWidgetItem(sheetNames[k]));
    }
    connect(m_list, &QTableWidget::cellPressed, this, &Sheets::toggleMark);

    m_ok = new QPushButton(QStringLiteral("确  定"), this);
    m_ok->setObjectName(QStringLiteral("IMG0"));
    m_ok->setGeometry(twips(1080, 3840, 1215, 375));
    m_cancel = new QPushButton(QStringLiteral("取  消"), this);
    m_cancel->setObjectName(QStringLiteral("IMG1"));
    m_cancel->setGeometry(twips(3600, 3840, 1215, 375));
    connect(m_ok, &QPushButton::clicked, this, &Sheets::accept);
    connect(m_cancel, &QPushButton::clicked, this, &Sheets::reject);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

void Sheets::toggleMark(int row, int column) {
    if (column != 1 || row < 0 || row >= m_list->rowCount())
        return;
    const QTableWidgetItem* name = m_list->item(row, 2);
    if (!name || name->text().isEmpty())
        return;
    QTableWidgetItem* cell = m_list->item(row, 1);
    const bool set = cell->text().trimmed().isEmpty();
    if (set)
        for (int r = 0; r < m_list->rowCount(); ++r)
            m_list->item(r, 1)->setText(QString());
    cell->setText(set ? mark() : QString());
}

void Sheets::accept() {
    m_sheetName.clear();
    for (int r = 0; r < m_list->rowCount(); ++r)
        if (!m_list->item(r, 1)->text().trimmed().isEmpty())
            m_sheetName = m_list->item(r, 2)->text();
    QDialog::accept();
}

void Sheets::reject() {
    m_sheetName.clear();
    QDialog::reject();
}
