#pragma once

#include <QString>

#include <optional>

class QPrinter;

// Every question, message and file choice of a command goes through this interface,
// so that commands are driven headless in tests with scripted answers.
class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // An empty title means the program's own title.
    virtual bool askYesNo(const QString& text, const QString& title = {}) = 0;
    virtual bool askOkCancel(const QString& text, const QString& title = {}) = 0;
    virtual void tell(const QString& text, const QString& title = {}) = 0;
    // std::nullopt when the user cancelled.
    virtual std::optional<QString> askText(const QString& prompt, const QString& initial = {}) = 0;
    // The chosen path, or an empty text when the user cancelled.
    virtual QString chooseOpenFile(const QString& filter) = 0;
    virtual QString chooseSaveFile(const QString& filter) = 0;
    // Lets the user choose and set up the printer; false when the user cancelled.
    virtual bool choosePrinter(QPrinter& printer) = 0;
};

namespace Messages {
inline QString programTitle() {
    return QStringLiteral("Quillmarsh报关单打印软件");
}
inline QString databaseOpenError() {
    return QStringLiteral("数据库打开错误！");
}
} // namespace Messages
