#include "CollateForm.h"

#include "CalibrationSetting.h"
#include "TextNumber.h"
#include "Units.h"
#include "UserDialogs.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace {

QRect twips(int left, int top, int width, int height) {
    return ScreenTwips::toPixelRect(QRectF(left, top, width, height));
}

QFont songFont(double points) {
    QFont font(QStringLiteral("宋体"));
    font.setPointSizeF(points);
    return font;
}

QLabel* label(QWidget* parent, const QString& text, const QRect& rect, double points) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(rect);
    l->setFont(songFont(points));
    return l;
}

void rule(QWidget* parent, int top, const QColor& color) {
    auto* line = new QFrame(parent);
    line->setGeometry(twips(0, top, 6120, 15));
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, color);
    line->setPalette(palette);
}

// What an empty margin stands for: the default offset plus the mark's distance.
QString defaultMargin() {
    return QStringLiteral("13");
}

QString saveFailedMessage() {
    return QStringLiteral("页边距保存出错！");
}

} // namespace

CollateForm::CollateForm(UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs) {
    setWindowTitle(QStringLiteral("输入页边距"));
    setFixedSize(twips(0, 0, 6090, 2685).size());

    auto* instruction = label(
        this,
        QStringLiteral("您只需将打印出的校验图形（矩形黑块）左上角与纸张左上角的横向及纵向距离分别"
                       "量出，填入下框即可准确打印。为精确起见，您可以输入小数。"),
        twips(180, 120, 5895, 840), 12);
    instruction->setWordWrap(true);
    instruction->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    rule(this, 1050, QColor(0x80, 0x80, 0x80));
    rule(this, 1060, QColor(0xFF, 0xFF, 0xFF));

    label(this, QStringLiteral("横向页边距（向左移动）"), twips(120, 1200, 2535, 255), 10.5);
    m_tx = new QLineEdit(this);
    m_tx->setObjectName(QStringLiteral("TX"));
    m_tx->setGeometry(twips(120, 1440, 1815, 375));
    m_tx->setFont(songFont(12));
    label(this, QStringLiteral("毫米"), twips(2040, 1560, 615, 255), 9);

    label(this, QStringLiteral("纵向页边距（向上移动）"), twips(120, 1920, 2535, 255), 10.5);
    m_ty = new QLineEdit(this);
    m_ty->setObjectName(QStringLiteral("TY"));
    m_ty->setGeometry(twips(120, 2160, 1815, 375));
    m_ty->setFont(songFont(12));
    label(this, QStringLiteral("毫米"), twips(2040, 2280, 615, 255), 9);

    for (QLineEdit* margin : {m_tx, m_ty})
        margin->setPlaceholderText(QStringLiteral("默认 ") + defaultMargin());

    m_save = new QPushButton(QStringLiteral("保    存"), this);
    m_save->setGeometry(twips(4080, 1365, 1935, 495));
    m_cancel = new QPushButton(QStringLiteral("取    消"), this);
    m_cancel->setGeometry(twips(4080, 2085, 1935, 495));
    connect(m_save, &QPushButton::clicked, this, &CollateForm::save);
    connect(m_cancel, &QPushButton::clicked, this, &CollateForm::reject);

    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.left() + (area.width() - width()) / 2,
             area.top() + (area.height() - height()) / 2);
    }
    load();
}

QString CollateForm::storedText(const QString& typed) {
    QString text = typed.trimmed();
    text.replace(QChar(0x3002), u'.');
    return text.isEmpty() ? defaultMargin() : text;
}

QString CollateForm::shownText(const QString& stored) {
    const double value = numericValue(stored);
    // Adding zero turns a negative zero into the 0 the user expects to see.
    return QString::number(value + 0.0, 'g', 15);
}

void CollateForm::load() {
    const CalibrationSetting::Margins margins = CalibrationSetting::read();
    // Before the first calibration the boxes stay empty and show the default as a hint.
    if (margins.x.isEmpty())
        return;
    m_tx->setText(shownText(margins.x));
    m_ty->setText(shownText(margins.y));
}

void CollateForm::save() {
    // Closing after a failed write would let the user believe the calibration was kept.
    if (!CalibrationSetting::write(storedText(m_tx->text()), storedText(m_ty->text()))) {
        m_dialogs.tell(saveFailedMessage());
        return;
    }
    accept();
}
