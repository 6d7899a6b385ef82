#include "SelDialog.h"

#include "FormUndo.h"
#include "Layouts.h"
#include "Units.h"
#include "UserDialogs.h"

#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>

namespace {

QRect twips(double left, double top, double width, double height) {
    return ScreenTwips::toPixelRect(QRectF(left, top, width, height));
}

} // namespace

Sel::Sel(Layouts& layouts, UserDialogs& dialogs, Form& form, QSize screenPixels, QWidget* parent,
         FormUndo* undo)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_layouts(layouts), m_dialogs(dialogs), m_form(form), m_undo(undo) {
    setModal(false);
    // However it closes (a button, Esc, the title bar), the dialog is unloaded.
    connect(this, &QDialog::finished, this, &QObject::deleteLater);
    setWindowTitle(QStringLiteral("选择格式"));
    setAccessibleName(QStringLiteral("选择格式"));
    const QSize client(ScreenTwips::toPixels(4680), ScreenTwips::toPixels(1200));
    setFixedSize(client);

    m_com = new QComboBox(this);
    m_com->setEditable(true);
    m_com->setInsertPolicy(QComboBox::NoInsert);
    m_com->setAccessibleName(QStringLiteral("格式名称"));
    const QRect comRect = twips(120, 120, 4455, 0);
    m_com->setGeometry(comRect.x(), comRect.y(), comRect.width(), m_com->sizeHint().height());

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(0, ScreenTwips::toPixels(600) - 1, client.width(), 2);

    m_ok = new QPushButton(QStringLiteral("确   定"), this);
    m_ok->setAccessibleName(m_ok->text());
    m_ok->setGeometry(twips(480, 720, 1215, 375));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("取   消"), this);
    m_cancel->setAccessibleName(m_cancel->text());
    m_cancel->setGeometry(twips(3000, 720, 1215, 375));
    m_cancel->setAutoDefault(false);
    connect(m_ok, &QPushButton::clicked, this, &Sel::act);
    connect(m_cancel, &QPushButton::clicked, this, &Sel::reject);

    move((screenPixels.width() - client.width()) / 2,
         (screenPixels.height() - client.height()) / 2);

    const std::optional<QStringList> names = m_layouts.layoutNames();
    if (!names)
        m_dialogs.tellDatabaseError(m_layouts.failureDetails());
    else if (!names->isEmpty())
        m_com->addItems(*names);
    // Saving starts from an empty name, so that OK alone never writes over a layout.
    m_com->setEditText(m_layouts.SelSaveMode() ? QString() : m_layouts.CurrentLayoutName());
}

void Sel::act() {
    // The name is acted on exactly as typed; blanks are part of it.
    const QString name = m_com->currentText();
    if (!name.isEmpty() && !actOn(name))
        m_dialogs.tellDatabaseError(m_layouts.failureDetails());
    accept();
}

bool Sel::actOn(const QString& name) {
    if (!m_layouts.SelSaveMode()) {
        bool loaded = true;
        const auto load = [&] { loaded = m_layouts.LoadLayout(m_form, name); };
        if (m_undo)
            m_undo->edit(FormUndo::Step::LayoutLoad, load);
        else
            load();
        return loaded;
    }
    const std::optional<bool> replaces = m_layouts.wouldReplace(name);
    if (!replaces)
        return false;
    if (*replaces && !m_dialogs.askYesNo(QStringLiteral("该记录已存在，是否覆盖？")))
        return true; // the clerk keeps the old layout
    return m_layouts.SaveLayout(m_form, name);
}
