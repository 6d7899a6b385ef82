#include "ScriptedDialogs.h"

namespace {

// The next scripted answer; a question the script did not foresee is noted and declined.
template <typename T>
T next(QQueue<T>& answers, QStringList& unanswered, const QString& question, T declined) {
    if (answers.isEmpty()) {
        unanswered.append(question);
        return declined;
    }
    return answers.dequeue();
}

} // namespace

bool ScriptedDialogs::askYesNo(const QString& text, const QString& title) {
    shown.append({QStringLiteral("yesno"), text, title, {}});
    return next(yesNo, unanswered, text, false);
}

bool ScriptedDialogs::askOkCancel(const QString& text, const QString& title) {
    shown.append({QStringLiteral("okcancel"), text, title, {}});
    return next(okCancel, unanswered, text, false);
}

void ScriptedDialogs::tell(const QString& text, const QString& title) {
    shown.append({QStringLiteral("tell"), text, title, {}});
}

void ScriptedDialogs::tellWithDetails(const QString& text, const QString& details) {
    shown.append({QStringLiteral("tell"), text, {}, details});
}

std::optional<QString> ScriptedDialogs::askText(const QString& prompt, const QString&) {
    shown.append({QStringLiteral("text"), prompt, {}, {}});
    return next(texts, unanswered, prompt, std::optional<QString>());
}

QString ScriptedDialogs::chooseOpenFile(const QString& filter) {
    shown.append({QStringLiteral("open"), filter, {}, {}});
    return openFiles.isEmpty() ? QString() : openFiles.dequeue();
}

QString ScriptedDialogs::chooseSaveFile(const QString& filter) {
    shown.append({QStringLiteral("save"), filter, {}, {}});
    return saveFiles.isEmpty() ? QString() : saveFiles.dequeue();
}

bool ScriptedDialogs::choosePrinter(QPrinter& p) {
    shown.append({QStringLiteral("printer"), {}, {}, {}});
    return printer ? printer(p) : false;
}

QStringList ScriptedDialogs::messages() const {
    QStringList result;
    for (const Shown& s : shown)
        if (s.kind == QLatin1String("tell"))
            result.append(s.text);
    return result;
}

QStringList ScriptedDialogs::allTexts() const {
    QStringList result;
    for (const Shown& s : shown)
        result.append(s.text);
    return result;
}

std::optional<FontChoice> ScriptedDialogs::chooseFont(const FontChoice& initial) {
    shown.append({QStringLiteral("font"), initial.name, {}, {}});
    fontsShown.append(initial);
    return next(fonts, unanswered, QStringLiteral("font dialog"), std::optional<FontChoice>());
}
