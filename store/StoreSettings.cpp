#include "StoreSettings.h"

#include <QRegularExpression>
#include "UserSettings.h"

#include <QSettings>

namespace {
const QString Key = QStringLiteral("Database/Connection");
}

QString StoreSettings::connection() {
    return userSettings().value(Key).toString().trimmed();
}

void StoreSettings::setConnection(const QString& conninfo) {
    userSettings().setValue(Key, conninfo.trimmed());
}

QString StoreSettings::withoutPassword(const QString& conninfo) {
    // keyword = value, the value bare or in single quotes with \' and \\ escapes
    static const QRegularExpression password(
        QStringLiteral(R"(\bpassword\s*=\s*('(?:[^'\\]|\\.)*'|\S*))"),
        QRegularExpression::CaseInsensitiveOption);
    QString shown = conninfo;
    shown.replace(password, QStringLiteral("password=***"));
    static const QRegularExpression uriPassword(QStringLiteral(R"(^(postgres(?:ql)?://[^:@/]*):[^@/]*@)"));
    shown.replace(uriPassword, QStringLiteral("\\1:***@"));
    return shown;
}
