#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class UserDialogs;

// "输入页边距": the two margins measured on the printed calibration square. Opens with
// the stored margins (empty before the first calibration, 13 shown as the hint); saving
// stores both, an empty margin as 13.
class CollateForm : public QDialog {
    Q_OBJECT
public:
    explicit CollateForm(UserDialogs& dialogs, QWidget* parent = nullptr);

    // A typed margin as it is stored: spaces trimmed, "。" read as the decimal point,
    // nothing typed as the default 13.
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
