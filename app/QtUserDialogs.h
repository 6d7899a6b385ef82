#pragma once

#include "UserDialogs.h"

class QWidget;

// Questions and messages as the program shows them: message boxes without an icon,
// captioned with the program's title unless a message names another.
class QtUserDialogs : public UserDialogs {
public:
    explicit QtUserDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    bool askYesNo(const QString& text, const QString& title = {}) override;
    bool askYesNoWithDetails(const QString& text, const QString& details) override;
    bool askOkCancel(const QString& text, const QString& title = {}) override;
    void tell(const QString& text, const QString& title = {}) override;
    void tellWithDetails(const QString& text, const QString& details) override;
    std::optional<QString> askText(const QString& prompt, const QString& initial = {}) override;
    QString chooseOpenFile(const QString& filter) override;
    QString chooseSaveFile(const QString& filter) override;
    QString chooseOpenFileAt(const QString& filter, const QString& start) override;
    QString chooseSaveFileAt(const QString& filter, const QString& start) override;
    bool choosePrinter(QPrinter& printer) override;
    std::optional<FontChoice> chooseFont(const FontChoice& initial) override;

private:
    QWidget* m_parent = nullptr;
};
