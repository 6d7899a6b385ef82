#include "FontMenuForm.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

FontMenuForm::FontMenuForm(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("菜单"));
    m_label1 = new QLabel(QStringLiteral("本窗口专为弹出菜单设置"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label1);
    m_fontMenu = new QMenu(this);
    m_fontMenu->setObjectName(QStringLiteral("FontMenu"));
    m_fontStyle = m_fontMenu->addAction(QStringLiteral("修改字体"));
    m_fontStyle->setObjectName(QStringLiteral("FontStyle"));
    hide();
}

bool FontMenuForm::popUp(QPoint globalPosition) {
    return m_fontMenu->exec(globalPosition) == m_fontStyle;
}
