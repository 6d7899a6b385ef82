#include "FontColorDialog.h"
#include "StoredColor.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

FontColorDialog::FontColorDialog(const FontChoice& initial, QWidget* parent)
    : QDialog(parent), m_color(StoredColor::toQColor(initial.color)) {
    setWindowTitle(QStringLiteral("字体"));
    m_fonts = new QFontDialog(this);
    m_fonts->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    m_fonts->setWindowFlags(Qt::Widget);
    // A face that exists only as a substitution (宋体) is shown as the face it resolves
    // to, and handed back under its own name when the clerk keeps it.
    m_resolvedInitial = QFontInfo(QFont(initial.name)).family();
    QFont font(m_resolvedInitial);
    font.setPointSizeF(initial.size);
    font.setBold(initial.bold);
    font.setItalic(initial.italic);
    font.setUnderline(initial.underline);
    font.setStrikeOut(initial.strikethru);
    m_fonts->setCurrentFont(font);
    m_initial = initial;
    // Until the clerk changes something in the font list, the box keeps its own font:
    // the list cannot show every style a box may carry (bold of a face without a bold
    // cut, 10.5 points).
    connect(m_fonts, &QFontDialog::currentFontChanged, this, [this] { m_fontTouched = true; });

    auto* colorRow = new QHBoxLayout;
    colorRow->addWidget(new QLabel(QStringLiteral("颜色："), this));
    m_colorButton = new QPushButton(this);
    m_colorButton->setAccessibleName(QStringLiteral("颜色"));
    m_colorButton->setFixedWidth(80);
    colorRow->addWidget(m_colorButton);
    colorRow->addStretch();
    connect(m_colorButton, &QPushButton::clicked, this, &FontColorDialog::chooseColor);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_fonts);
    layout->addLayout(colorRow);
    layout->addWidget(buttons);
    showColor();
}

void FontColorDialog::chooseColor() {
    const QColor chosen = QColorDialog::getColor(m_color, this, QStringLiteral("颜色"));
    if (chosen.isValid())
        m_color = chosen;
    showColor();
}

void FontColorDialog::showColor() {
    m_colorButton->setStyleSheet(QStringLiteral("background: %1").arg(m_color.name()));
}

FontChoice FontColorDialog::choice() const {
    FontChoice c = m_initial;
    c.color = StoredColor::fromQColor(m_color);
    if (!m_fontTouched)
        return c;
    const QFont f = m_fonts->currentFont();
    c.name = f.family() == m_resolvedInitial ? m_initial.name : f.family();
    // The dialog offers whole sizes only: a size it merely rounded (10.5 shown as 11)
    // stays as the box had it.
    const double size = f.pointSizeF();
    c.size = qRound(size) == qRound(m_initial.size) ? m_initial.size : static_cast<float>(size);
    c.bold = f.bold();
    c.italic = f.italic();
    c.underline = f.underline();
    c.strikethru = f.strikeOut();
    return c;
}
