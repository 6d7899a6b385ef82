#include "QtUserDialogs.h"

#include "FontColorDialog.h"
#include "PendingTyping.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace {

QString captionOr(const QString& title) {
    return title.isEmpty() ? Messages::programTitle() : title;
}

QMessageBox::StandardButton ask(QWidget* parent, const QString& text, const QString& title,
                                QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton defaultButton,
                                const QString& details = {}) {
    PendingTyping::deliver();
    QMessageBox box(QMessageBox::NoIcon, captionOr(title), text, buttons, parent);
    box.setDefaultButton(defaultButton);
    if (!details.isEmpty())
        box.setDetailedText(details);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

bool QtUserDialogs::askYesNo(const QString& text, const QString& title) {
    return ask(m_parent, text, title, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
           QMessageBox::Yes;
}

bool QtUserDialogs::askYesNoWithDetails(const QString& text, const QString& details) {
    return ask(m_parent, text, {}, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, details) ==
           QMessageBox::Yes;
}

bool QtUserDialogs::askOkCancel(const QString& text, const QString& title) {
    return ask(m_parent, text, title, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) ==
           QMessageBox::Ok;
}

void QtUserDialogs::tell(const QString& text, const QString& title) {
    ask(m_parent, text, title, QMessageBox::Ok, QMessageBox::Ok);
}

void QtUserDialogs::tellWithDetails(const QString& text, const QString& details) {
    PendingTyping::deliver();
    QMessageBox box(QMessageBox::NoIcon, Messages::programTitle(), text, QMessageBox::Ok, m_parent);
    box.setDetailedText(details);
    box.exec();
}

std::optional<QString> QtUserDialogs::askText(const QString& prompt, const QString& initial) {
    bool ok = false;
    const QString answer = QInputDialog::getText(m_parent, Messages::programTitle(), prompt,
                                                 QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return answer;
}

QString QtUserDialogs::chooseOpenFile(const QString& filter) {
    return chooseOpenFileAt(filter, QString());
}

QString QtUserDialogs::chooseSaveFile(const QString& filter) {
    return chooseSaveFileAt(filter, QString());
}

QString QtUserDialogs::chooseOpenFileAt(const QString& filter, const QString& start) {
    return QFileDialog::getOpenFileName(m_parent, QString(), start, filter);
}

QString QtUserDialogs::chooseSaveFileAt(const QString& filter, const QString& start) {
    // The caller decides about replacing an existing file, so the dialog does not ask.
    return QFileDialog::getSaveFileName(m_parent, QString(), start, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

bool QtUserDialogs::choosePrinter(QPrinter& printer) {
    QPrintDialog dialog(&printer, m_parent);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<FontChoice> QtUserDialogs::chooseFont(const FontChoice& initial) {
    FontColorDialog dialog(initial, m_parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}
