#pragma once

#include <QDialog>
#include <QSize>

class Form;
class FormUndo;
class Layouts;
class QComboBox;
class QPushButton;
class UserDialogs;

// "选择格式": pick or type a layout name, then save or load it as the layouts' SelSaveMode
// says at the moment OK is pressed. Modeless and on top; it deletes itself when it closes,
// so the name list is read afresh each time it opens. Opened for loading it shows the
// current layout's name; opened for saving, an empty one.
class Sel : public QDialog {
    Q_OBJECT
public:
    // `screenPixels` is the screen the dialog is centred on. With an undo stack a load is
    // a step on it. Questions and messages go through `dialogs`.
    Sel(Layouts& layouts, UserDialogs& dialogs, Form& form, QSize screenPixels,
        QWidget* parent = nullptr, FormUndo* undo = nullptr);

    QComboBox* nameBox() const { return m_com; }
    QPushButton* okButton() const { return m_ok; }

private:
    void act();
    // False when the store failed.
    bool actOn(const QString& name);

    Layouts& m_layouts;
    UserDialogs& m_dialogs;
    Form& m_form;
    FormUndo* m_undo = nullptr;
    QComboBox* m_com = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};
