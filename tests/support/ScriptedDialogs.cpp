#include "ScriptedDialogs.h"

bool ScriptedDialogs::askYesNo(const QString& text, const QString& title) {
    shown.append({QStringLiteral("yesno"), text, title, {}});
    if (yesNo.isEmpty()) {
        unanswered.append(text);
        return false;
    }
    return yesNo.dequeue();
}

bool ScriptedDialogs::askOkCancel(const QString& text, const QString& title) {
    shown.append({QStringLiteral("okcancel"), text, title, {}});
    if (okCancel.isEmpty()) {
        unanswered.append(text);
        return false;
    }
    return okCancel.dequeue();
}

void ScriptedDialogs::tell(const QString& text, const QString& title) {
    shown.append({QStringLiteral("tell"), text, title, {}});
}

void ScriptedDialogs::tellWithDetails(const QString& text, const QString& details) {
    shown.append({QStringLiteral("tell"), text, {}, details});
}

std::optional<QString> ScriptedDialogs::askText(const QString& prompt, const QString&) {
    shown.append({QStringLiteral("text"), prompt, {}, {}});
    if (texts.isEmpty()) {
        unanswered.append(prompt);
        return std::nullopt;
    }
    return texts.dequeue();
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
    if (fonts.isEmpty()) {
        unanswered.append(QStringLiteral("font dialog"));
        return std::nullopt;
    }
    return fonts.dequeue();
}
