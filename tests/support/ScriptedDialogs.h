#pragma once

#include "UserDialogs.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

#include <functional>

// Answers questions from a script and records every text shown, so that commands,
// their messages and their cancellations are tested headless.
class ScriptedDialogs : public UserDialogs {
public:
    struct Shown {
        QString kind; // "yesno", "okcancel", "tell", "text", "open", "save", "printer"
        QString text;
        QString title;
        QString details;
    };

    // Answers are taken in order; a question without a scripted answer fails the test
    // through `unanswered` and gets No/Cancel.
    QQueue<bool> yesNo;
    QQueue<bool> okCancel;
    QQueue<std::optional<QString>> texts;
    QQueue<QString> openFiles;
    QQueue<QString> saveFiles;
    // Sets the printer up (for example to PDF output) and returns false to cancel.
    std::function<bool(QPrinter&)> printer;
    // Answers of the font dialog (std::nullopt cancels); the font shown is kept.
    QQueue<std::optional<FontChoice>> fonts;
    QList<FontChoice> fontsShown;

    QList<Shown> shown;
    QStringList unanswered;

    bool askYesNo(const QString& text, const QString& title = {}) override;
    bool askOkCancel(const QString& text, const QString& title = {}) override;
    void tell(const QString& text, const QString& title = {}) override;
    void tellWithDetails(const QString& text, const QString& details) override;
    std::optional<QString> askText(const QString& prompt, const QString& initial = {}) override;
    QString chooseOpenFile(const QString& filter) override;
    QString chooseSaveFile(const QString& filter) override;
    bool choosePrinter(QPrinter& printer) override;
    std::optional<FontChoice> chooseFont(const FontChoice& initial) override;

    // The texts shown by tell(), in order.
    QStringList messages() const;
    // Every text shown or asked, in order.
    QStringList allTexts() const;
    void clear() {
        shown.clear();
        unanswered.clear();
    }
};
