#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QPushButton;
class QTableWidget;

// The dialog 选择要导入的表格: lists the worksheets of a workbook with the first one
// marked; at most one is marked at a time. After 确  定 sheetName() is the marked sheet
// (empty when none is); after 取  消 or any other way of closing it is empty.
class Sheets : public QDialog {
    Q_OBJECT
public:
    explicit Sheets(const QStringList& sheetNames, QWidget* parent = nullptr);

    QString sheetName() const { return m_sheetName; }
    QPushButton* okButton() const { return m_ok; }

    static QString mark() { return QStringLiteral("√"); }

private:
    void toggleMark(int row, int column);
    void accept() override;
    void reject() override;

    QTableWidget* m_list = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QString m_sheetName;
};
