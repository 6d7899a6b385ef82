#pragma once

#include "CodeTables.h"

#include <QDialog>

class PageWidget;
class QComboBox;
class QLabel;
class QPushButton;
class UserDialogs;

// "代码表…": the clerk chooses a box by its caption and brings a code table for it from a
// workbook or a CSV file; the rows read are shown before they replace the box's table.
class CodeTableDialog : public QDialog {
    Q_OBJECT
public:
    CodeTableDialog(CodeTables& tables, UserDialogs& dialogs, const PageWidget& page,
                    QWidget* parent = nullptr);

private:
    int chosenBox() const;
    void showBox();
    void chooseFile();
    void importRows();
    void removeTable();
    void tellStoreFailure(bool ok);

    CodeTables& m_tables;
    UserDialogs& m_dialogs;
    QComboBox* m_box = nullptr;
    QLabel* m_present = nullptr;
    QLabel* m_read = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_remove = nullptr;
    QList<CodeRow> m_rows;
};
