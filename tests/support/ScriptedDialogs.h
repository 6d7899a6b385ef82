#pragma once

#include "UserDialogs.h"

#include <QQueue>
#include <QStringList>

#include <functional>

// Answers questions from a script and records every text shown, so that commands,
// their messages and their cancellations are tested headless.
class ScriptedDialogs : public UserDialogs {
public:
    struct Shown {
        QString kind; // "yesno", "okcancel", "tell", "text", "open", "save", "printer", "font"
        QString text{}, title{}, details{};
    };

    // Answers are taken in order; a question without a scripted answer is noted in
    // `unanswered` and gets No/Cancel.
    QQueue<bool> yesNo, okCancel;
    QQueue<std::optional<QString>> texts;
    QQueue<QString> openFiles, saveFiles; // an empty queue cancels, unnoted
    // Sets the printer up (for example to PDF output) and returns false to cancel.
    std::function<bool(QPrinter&)> printer;
    // Answers of the font dialog (std::nullopt cancels); the font shown is kept.
    QQueue<std::optional<FontChoice>> fonts;
    QList<FontChoice> fontsShown;

    QList<Shown> shown;
    QStringList unanswered;

    bool askYesNo(const QString& text, const QString& title = {}) override {
        return next(yesNo, {"yesno", text, title}, false);
    }
    bool askYesNoWithDetails(const QString& text, const QString& details) override {
        return next(yesNo, {"yesno", text, {}, details}, false);
    }
    bool askOkCancel(const QString& text, const QString& title = {}) override {
        return next(okCancel, {"okcancel", text, title}, false);
    }
    void tell(const QString& text, const QString& title = {}) override {
        shown.append({"tell", text, title});
    }
    void tellWithDetails(const QString& text, const QString& details) override {
        shown.append({"tell", text, {}, details});
    }
    std::optional<QString> askText(const QString& prompt, const QString& = {}) override {
        return next(texts, {"text", prompt}, std::optional<QString>());
    }
    QString chooseOpenFile(const QString& filter) override {
        return file(openFiles, "open", filter);
    }
    QString chooseSaveFile(const QString& filter) override {
        return file(saveFiles, "save", filter);
    }
    bool choosePrinter(QPrinter& p) override {
        shown.append({"printer"});
        return printer ? printer(p) : false;
    }
    std::optional<FontChoice> chooseFont(const FontChoice& initial) override {
        fontsShown.append(initial);
        return next(fonts, {"font", initial.name}, std::optional<FontChoice>());
    }

    // The texts shown by tell(), in order.
    QStringList messages() const { return textsOf("tell"); }
    // Every text shown or asked, in order.
    QStringList allTexts() const { return textsOf({}); }
    void clear() {
        shown.clear();
        unanswered.clear();
    }

private:
    // The next scripted answer; a question the script did not foresee is noted and declined.
    template <typename T> T next(QQueue<T>& answers, const Shown& question, T declined) {
        shown.append(question);
        if (answers.isEmpty()) {
            unanswered.append(question.kind + u' ' + question.text);
            return declined;
        }
        return answers.dequeue();
    }
    QString file(QQueue<QString>& answers, const char* kind, const QString& filter) {
        shown.append({kind, filter});
        return answers.isEmpty() ? QString() : answers.dequeue();
    }
    QStringList textsOf(const QString& kind) const {
        QStringList result;
        for (const Shown& s : shown)
            if (kind.isEmpty() || s.kind == kind)
                result.append(s.text);
        return result;
    }
};
