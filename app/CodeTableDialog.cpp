#include "CodeTableDialog.h"

#include "CodeTableFile.h"
#include "PageWidget.h"
#include "UserDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QPushButton* button(const QString& text) {
    auto* b = new QPushButton(text);
    b->setAccessibleName(text);
    b->setAutoDefault(false);
    return b;
}

} // namespace

CodeTableDialog::CodeTableDialog(CodeTables& tables, UserDialogs& dialogs, const PageWidget& page,
                                 QWidget* parent)
    : QDialog(parent), m_tables(tables), m_dialogs(dialogs) {
    setWindowTitle(QStringLiteral("代码表"));
    setAccessibleName(windowTitle());
    m_box = new QComboBox;
    m_box->setAccessibleName(QStringLiteral("栏目"));
    // The boxes by caption, in the order the Tab key visits them.
    QList<int> order;
    for (int i = 0; i < BoxCount; ++i)
        order.append(i);
    std::sort(order.begin(), order.end(), [](int a, int b) {
        return Catalogue::field(a).tabPosition < Catalogue::field(b).tabPosition;
    });
    for (int i : order)
        if (const QString caption = page.accessibleBoxName(i); !caption.isEmpty())
            m_box->addItem(caption, i);
    if (const int focused = page.boxIndexOf(QApplication::focusWidget()); focused >= 0)
        m_box->setCurrentIndex(std::max(0, m_box->findData(focused)));

    m_present = new QLabel;
    m_read = new QLabel(QStringLiteral("第一列为代码，第二列为名称，第三列（可无）为打印内容。"));
    m_read->setWordWrap(true);
    QPushButton* choose = button(QStringLiteral("选择文件…"));
    m_import = button(QStringLiteral("导入"));
    m_remove = button(QStringLiteral("删除代码表"));
    QPushButton* close = button(QStringLiteral("关闭"));
    m_import->setEnabled(false);

    auto* form = new QFormLayout;
    auto* boxLabel = new QLabel(QStringLiteral("栏目："));
    boxLabel->setBuddy(m_box);
    form->addRow(boxLabel, m_box);
    form->addRow(QString(), m_present);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {choose, m_import, m_remove})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_read);
    layout->addLayout(buttons);
    for (QLabel* label : {m_present, m_read})
        label->setAccessibleName(label->text());

    connect(m_box, &QComboBox::currentIndexChanged, this, &CodeTableDialog::showBox);
    connect(choose, &QPushButton::clicked, this, &CodeTableDialog::chooseFile);
    connect(m_import, &QPushButton::clicked, this, &CodeTableDialog::importRows);
    connect(m_remove, &QPushButton::clicked, this, &CodeTableDialog::removeTable);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    showBox();
    resize(460, sizeHint().height());
}

int CodeTableDialog::chosenBox() const {
    return m_box->currentData().toInt();
}

void CodeTableDialog::showBox() {
    const std::optional<QList<CodeRow>> rows = m_tables.table(chosenBox());
    const qsizetype count = rows ? rows->size() : 0;
    m_present->setText(!rows            ? QStringLiteral("代码表读取失败")
                       : count == 0     ? QStringLiteral("此栏目没有代码表")
                                        : QStringLiteral("此栏目已有代码表：%1行").arg(count));
    m_present->setAccessibleName(m_present->text());
    m_remove->setEnabled(count > 0);
}

void CodeTableDialog::chooseFile() {
    const QString path = m_dialogs.chooseOpenFile(
        QStringLiteral("代码表 (*.xls *.csv *.txt);;所有文件 (*)"));
    if (path.isEmpty())
        return;
    const CodeTableFile file = CodeTableFile::read(path);
    m_rows = file.rows;
    m_import->setEnabled(!m_rows.isEmpty());
    if (!file.failure.isEmpty()) {
        m_read->setText(QStringLiteral("未读到代码：%1").arg(file.failure));
        m_dialogs.tell(QStringLiteral("代码表文件读取失败：%1\n%2")
                           .arg(QDir::toNativeSeparators(path), file.failure));
    } else {
        m_read->setText(QStringLiteral("已读取%1行：%2").arg(m_rows.size()).arg(QFileInfo(path).fileName()));
    }
    m_read->setAccessibleName(m_read->text());
}

void CodeTableDialog::importRows() {
    const std::optional<QList<CodeRow>> present = m_tables.table(chosenBox());
    if (present && !present->isEmpty() &&
        !m_dialogs.askYesNo(QStringLiteral("“%1”已有代码表（%2行），要用读取的%3行替换吗？")
                                .arg(m_box->currentText())
                                .arg(present->size())
                                .arg(m_rows.size())))
        return;
    if (!m_tables.replace(chosenBox(), m_rows)) {
        tellStoreFailure(false);
        return;
    }
    m_read->setText(QStringLiteral("已导入%1行。").arg(m_rows.size()));
    m_read->setAccessibleName(m_read->text());
    m_rows.clear();
    m_import->setEnabled(false);
    showBox();
}

void CodeTableDialog::removeTable() {
    if (!m_dialogs.askYesNo(QStringLiteral("删除“%1”的代码表吗？").arg(m_box->currentText())))
        return;
    tellStoreFailure(m_tables.replace(chosenBox(), {}));
    showBox();
}

void CodeTableDialog::tellStoreFailure(bool ok) {
    if (!ok)
        m_dialogs.tellDatabaseError(m_tables.failureDetails());
}
