#include "DatabaseSettingsDialog.h"

#include "DataBase.h"
#include "LocalImport.h"
#include "StoreSettings.h"
#include "UserDialogs.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace {

// A keyword `password=` anywhere (a URI's query included), or a URI's user:password@.
bool carriesPassword(const QString& conninfo) {
    static const QRegularExpression keyword(QStringLiteral(R"(\bpassword\s*=)"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression uriPassword(
        QStringLiteral(R"(^postgres(?:ql)?://[^@/?]*:[^@/?]*@)"),
        QRegularExpression::CaseInsensitiveOption);
    return conninfo.contains(keyword) || conninfo.contains(uriPassword);
}

// The busy cursor while a server is reached, which may take a connect timeout.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

QPushButton* commandButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setAccessibleName(text);
    button->setAutoDefault(false);
    return button;
}

} // namespace

DatabaseSettingsDialog::DatabaseSettingsDialog(const QString& localFilePath, UserDialogs& dialogs,
                                               QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_localFilePath(localFilePath) {
    setWindowTitle(title());
    setAccessibleName(title());
    setModal(true);

    auto* label = new QLabel(QStringLiteral("连接字符串"), this);
    m_connection = new QLineEdit(StoreSettings::connection(), this);
    m_connection->setAccessibleName(label->text());
    label->setBuddy(m_connection);
    auto* hint = new QLabel(QStringLiteral("留空：使用本机数据库文件 Par.db"), this);

    // Kept whole on their lines, to be copied.
    auto* examples = new QLabel(
        QStringLiteral(
            "例如：\n"
            "    host=db.example port=5432 dbname=quillmarsh user=clerk1 sslmode=verify-full\n"
            "    service=quillmarsh"),
        this);
    examples->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* note = new QLabel(
        QStringLiteral(
            "本程序不保存密码：请把密码写入 PostgreSQL 的密码文件（~/.pgpass，Windows 上为 "
            "%APPDATA%\\postgresql\\pgpass.conf），或在服务文件（~/.pg_service.conf）中描述服务器。"
            "更改在下次启动程序时生效。"),
        this);
    note->setWordWrap(true);

    auto* test = commandButton(QStringLiteral("测试连接"), this);
    m_import = commandButton(QStringLiteral("导入本机记录"), this);
    auto* commands = new QHBoxLayout;
    commands->addWidget(test);
    commands->addWidget(m_import);
    commands->addStretch(1);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("确   定"), QDialogButtonBox::AcceptRole)
        ->setAccessibleName(QStringLiteral("确   定"));
    buttons->addButton(QStringLiteral("取   消"), QDialogButtonBox::RejectRole)
        ->setAccessibleName(QStringLiteral("取   消"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_connection);
    layout->addWidget(hint);
    layout->addSpacing(6);
    layout->addWidget(examples);
    layout->addWidget(note);
    layout->addLayout(commands);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &DatabaseSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(test, &QPushButton::clicked, this, &DatabaseSettingsDialog::testConnection);
    connect(m_import, &QPushButton::clicked, this, &DatabaseSettingsDialog::importLocalRecords);
    connect(m_connection, &QLineEdit::textChanged, this,
            [this] { m_import->setEnabled(!typed().isEmpty()); });
    m_import->setEnabled(!typed().isEmpty());
}

QString DatabaseSettingsDialog::typed() const {
    return m_connection->text().trimmed();
}

bool DatabaseSettingsDialog::passwordFree() {
    if (!carriesPassword(typed()))
        return true;
    m_dialogs.tell(QStringLiteral("连接字符串中不能包含密码，请使用密码文件。"));
    return false;
}

void DatabaseSettingsDialog::accept() {
    if (!passwordFree())
        return;
    if (typed() != StoreSettings::connection()) {
        StoreSettings::setConnection(typed());
        m_dialogs.tell(QStringLiteral("设置将在下次启动程序时生效。"));
    }
    QDialog::accept();
}

void DatabaseSettingsDialog::testConnection() {
    if (typed().isEmpty()) {
        m_dialogs.tell(QStringLiteral("连接字符串为空，程序使用本机数据库文件 Par.db。"));
        return;
    }
    if (!passwordFree())
        return;
    const std::unique_ptr<DataBase> office = DataBase::office(typed());
    std::optional<QString> version;
    {
        const BusyCursor busy;
        version = office->serverVersion();
    }
    if (version) {
        m_dialogs.tell(QStringLiteral("连接成功：") + *version);
        return;
    }
    // The store leaves passwords out already; this keeps it so whatever libpq wrote.
    m_dialogs.tellWithDetails(QStringLiteral("连接失败"),
                              StoreSettings::withoutPassword(office->failureDetails()));
}

void DatabaseSettingsDialog::importLocalRecords() {
    if (typed().isEmpty() || !passwordFree())
        return;
    if (!m_dialogs.askOkCancel(QStringLiteral("将本机数据库中的历史记录和格式复制到服务器？")))
        return;
    DataBase local(m_localFilePath);
    const std::unique_ptr<DataBase> office = DataBase::office(typed());
    std::optional<LocalImportCount> count;
    {
        const BusyCursor busy;
        count = importLocalStore(local, *office);
    }
    if (count) {
        m_dialogs.tell(
            QStringLiteral("已导入%1条记录、%2个格式。").arg(count->records).arg(count->layouts));
        return;
    }
    // The store that failed is the one holding a reason.
    const bool localFailed = !local.failureReason().isEmpty();
    const QString details = localFailed ? local.failureDetails() : office->failureDetails();
    m_dialogs.tellDatabaseError(StoreSettings::withoutPassword(details));
}
