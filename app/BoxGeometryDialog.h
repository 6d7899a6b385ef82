#pragma once

#include "BoxGeometry.h"

#include <QDialog>

#include <array>

class Form;
class FormUndo;
class QLineEdit;
class UserDialogs;

// "位置和大小": left, top, width and height of the selected boxes in millimetres. A side the
// boxes share shows its value; an empty side, or one left as shown, changes nothing. OK
// keeps the dialog open, with a message, until what is typed can be applied.
class BoxGeometryDialog : public QDialog {
    Q_OBJECT
public:
    BoxGeometryDialog(const Form& form, UserDialogs& dialogs, QWidget* parent = nullptr);

    static QString title() { return QStringLiteral("位置和大小"); }

    // What OK accepted.
    const BoxGeometry::Millimetres& typed() const { return m_typed; }

    void accept() override;

private:
    const Form& m_form;
    UserDialogs& m_dialogs;
    std::array<QString, BoxGeometry::SideCount> m_shown;
    std::array<QLineEdit*, BoxGeometry::SideCount> m_fields{};
    BoxGeometry::Millimetres m_typed;
};

// The "位置和大小…" command: refused while "锁定格式" is ticked or no box is selected; what
// the dialog accepts is one undo step.
void EditBoxGeometry(Form& form, FormUndo& undo, bool locked, UserDialogs& dialogs,
                     QWidget* parent);
