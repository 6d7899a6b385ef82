#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class UserDialogs;

// "输入页边距": the two margins measured on the printed calibration square. Opens with
// the stored margins (13 and 13 before the first calibration); saving stores both.
class CollateForm : public QDialog {
    Q_OBJECT
public:
    explicit CollateForm(UserDialogs& dialogs, QWidget* parent = nullptr);

    // A typed margin as it is stored: spaces trimmed, "。" read as the decimal point.
    static QString storedText(const QString& typed);
    // A stored margin as the dialog shows it: the decimal text of its numeric value.
    static QString shownText(const QString& stored);

private:
    void load();
    void save();

    UserDialogs& m_dialogs;
    QLineEdit* m_tx = nullptr;
    QLineEdit* m_ty = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_cancel = nullptr;
};
