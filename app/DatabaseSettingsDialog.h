#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;
class UserDialogs;

// "数据库设置": which store the program uses from its next start, the local Par.db or the
// office's PostgreSQL server. The clerk types a libpq connection string, tests it, and may
// copy the local history and layouts to the server; OK keeps the string in the per-user
// settings. A string with a password is refused: the password file or service file holds it.
class DatabaseSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // `localFilePath` is the clerk's own Par.db, the source of "导入本机记录".
    DatabaseSettingsDialog(const QString& localFilePath, UserDialogs& dialogs,
                           QWidget* parent = nullptr);

    static QString title() { return QStringLiteral("数据库设置"); }

    void accept() override;

private:
    QString typed() const;
    // Says why the typed string cannot be used; false when it carries a password.
    bool passwordFree();
    void testConnection();
    void importLocalRecords();

    UserDialogs& m_dialogs;
    QString m_localFilePath;
    QLineEdit* m_connection = nullptr;
    QPushButton* m_import = nullptr;
};
