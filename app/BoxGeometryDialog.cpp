#include "BoxGeometryDialog.h"

#include "Form.h"
#include "FormUndo.h"
#include "UserDialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

const std::array<QString, BoxGeometry::SideCount> SideNames{
    QStringLiteral("左边（毫米）"), QStringLiteral("上边（毫米）"), QStringLiteral("宽度（毫米）"),
    QStringLiteral("高度（毫米）")};

// A number as the clerk types it: a point or the locale's decimal sign, full-width digits.
std::optional<double> millimetres(QString text) {
    text = text.normalized(QString::NormalizationForm_KC).trimmed();
    bool ok = false;
    double value = QLocale::c().toDouble(text, &ok);
    if (!ok)
        value = QLocale::system().toDouble(text, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

BoxGeometryDialog::BoxGeometryDialog(const Form& form, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_form(form), m_dialogs(dialogs), m_shown(BoxGeometry::shownText(form)) {
    setWindowTitle(title());
    setAccessibleName(title());
    auto* hint =
        new QLabel(QStringLiteral("从纸张左上角量起。选中多个输入框时，填入的数值用于每一个；"
                                  "空着的一项不改。"),
                   this);
    hint->setWordWrap(true);
    auto* fields = new QFormLayout;
    for (int s = 0; s < BoxGeometry::SideCount; ++s) {
        auto* field = new QLineEdit(m_shown[s], this);
        field->setAccessibleName(SideNames[s]);
        fields->addRow(SideNames[s], field);
        m_fields[s] = field;
    }
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("确   定"), QDialogButtonBox::AcceptRole)
        ->setAccessibleName(QStringLiteral("确   定"));
    buttons->addButton(QStringLiteral("取   消"), QDialogButtonBox::RejectRole)
        ->setAccessibleName(QStringLiteral("取   消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &BoxGeometryDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addLayout(fields);
    layout->addWidget(buttons);
}

void BoxGeometryDialog::accept() {
    BoxGeometry::Millimetres typed;
    for (int s = 0; s < BoxGeometry::SideCount; ++s) {
        const QString text = m_fields[s]->text().trimmed();
        // A side left as shown keeps each box's exact value, not the rounded one.
        if (text.isEmpty() || text == m_shown[s])
            continue;
        typed[s] = millimetres(text);
        if (!typed[s]) {
            m_dialogs.tell(SideNames[s] + QStringLiteral("须为数字，例如 12.5。"));
            m_fields[s]->setFocus();
            m_fields[s]->selectAll();
            return;
        }
    }
    if (const std::optional<QString> fault = BoxGeometry::check(m_form, typed)) {
        m_dialogs.tell(*fault);
        return;
    }
    m_typed = typed;
    QDialog::accept();
}

void EditBoxGeometry(Form& form, FormUndo& undo, bool locked, UserDialogs& dialogs,
                     QWidget* parent) {
    if (locked) {
        dialogs.tell(QStringLiteral("格式已锁定，不能修改位置和大小：请先取消勾选“锁定格式”。"));
        return;
    }
    if (!BoxGeometry::anySelected(form)) {
        dialogs.tell(QStringLiteral("没有选中的输入框：请在页面空白处按住鼠标拖动，"
                                    "框住要修改的输入框，再点“位置和大小…”。"));
        return;
    }
    BoxGeometryDialog dialog(form, dialogs, parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    undo.edit(FormUndo::Step::TypedGeometry, [&] { BoxGeometry::apply(form, dialog.typed()); });
}
