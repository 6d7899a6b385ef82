#pragma once

#include <QString>

#include <cstdint>
#include <optional>

class QPrinter;

// Face, size, style and colour of a box, as the font dialog shows and returns them.
struct FontChoice {
    QString name;
    float size = 9;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikethru = false;
    std::uint32_t color = 0; // BGR, red in the low byte
};

// Every question, message and file choice of a command goes through this interface,
// so that commands are driven headless in tests with scripted answers.
class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // An empty title means the program's own title.
    virtual bool askYesNo(const QString& text, const QString& title = {}) = 0;
    // A Yes/No question with a list the user can unfold (a message box's details).
    virtual bool askYesNoWithDetails(const QString& text, const QString& details) {
        (void)details;
        return askYesNo(text);
    }
    virtual bool askOkCancel(const QString& text, const QString& title = {}) = 0;
    virtual void tell(const QString& text, const QString& title = {}) = 0;
    // A message with an explanation the user can unfold (a message box's details).
    virtual void tellWithDetails(const QString& text, const QString& details) {
        (void)details;
        tell(text);
    }
    // "数据库打开错误！" with the file and the reason a store operation gave.
    void tellDatabaseError(const QString& details);
    // std::nullopt when the user cancelled.
    virtual std::optional<QString> askText(const QString& prompt, const QString& initial = {}) = 0;
    // The chosen path, or an empty text when the user cancelled.
    virtual QString chooseOpenFile(const QString& filter) = 0;
    virtual QString chooseSaveFile(const QString& filter) = 0;
    // The same questions opened at `start`: a folder, or a folder and a proposed name.
    virtual QString chooseOpenFileAt(const QString& filter, const QString& start) {
        (void)start;
        return chooseOpenFile(filter);
    }
    virtual QString chooseSaveFileAt(const QString& filter, const QString& start) {
        (void)start;
        return chooseSaveFile(filter);
    }
    // Lets the user choose and set up the printer; false when the user cancelled.
    virtual bool choosePrinter(QPrinter& printer) = 0;
    // The font dialog with a colour choice; std::nullopt when the user cancelled.
    virtual std::optional<FontChoice> chooseFont(const FontChoice& initial) {
        (void)initial;
        return std::nullopt;
    }
};

namespace Messages {
inline QString programTitle() {
    return QStringLiteral("Quillmarsh报关单打印软件");
}
inline QString databaseOpenError() {
    return QStringLiteral("数据库打开错误！");
}
} // namespace Messages

inline void UserDialogs::tellDatabaseError(const QString& details) {
    tellWithDetails(Messages::databaseOpenError(), details);
}
