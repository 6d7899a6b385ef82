#include "FormScanDialog.h"

#include "UserDialogs.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QDoubleSpinBox* spinBox(double low, double high, double step, const QString& suffix,
                        const QString& name, QWidget* parent) {
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(low, high);
    box->setDecimals(1);
    box->setSingleStep(step);
    box->setSuffix(suffix);
    box->setAccessibleName(name);
    box->setKeyboardTracking(false);
    return box;
}

} // namespace

FormScanDialog::FormScanDialog(const FormScan& scan, const QImage& picture,
                               const QString& modeCaption, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_scan(scan), m_picture(picture) {
    setWindowTitle(title() + QStringLiteral(" - ") + modeCaption);
    setAccessibleName(title());

    m_file = new QLabel(this);
    m_file->setAccessibleName(QStringLiteral("底图文件"));
    auto* choose = new QPushButton(QStringLiteral("选择底图…"), this);
    choose->setAccessibleName(QStringLiteral("选择底图"));
    m_remove = new QPushButton(QStringLiteral("删除底图"), this);
    m_remove->setAccessibleName(m_remove->text());
    for (QPushButton* b : {choose, m_remove})
        b->setAutoDefault(false);

    // Scanners shift by a few millimetres and shrink by a few per cent at most.
    m_offsetX = spinBox(-50, 50, 0.5, QStringLiteral(" 毫米"), QStringLiteral("横向偏移"), this);
    m_offsetY = spinBox(-50, 50, 0.5, QStringLiteral(" 毫米"), QStringLiteral("纵向偏移"), this);
    m_scale = spinBox(50, 150, 0.1, QStringLiteral(" %"), QStringLiteral("缩放比例"), this);

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_file, 1);
    fileRow->addWidget(choose);
    fileRow->addWidget(m_remove);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("底图文件："), fileRow);
    form->addRow(QStringLiteral("横向偏移（向右）："), m_offsetX);
    form->addRow(QStringLiteral("纵向偏移（向下）："), m_offsetY);
    form->addRow(QStringLiteral("缩放比例："), m_scale);
    auto* hint = new QLabel(
        QStringLiteral(
            "扫描一张空白报关单（图像或PDF），它将显示在输入框后面，只作对位之用，不会打印。"),
        this);
    hint->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("确   定"), QDialogButtonBox::AcceptRole)
        ->setAccessibleName(QStringLiteral("确   定"));
    buttons->addButton(QStringLiteral("取   消"), QDialogButtonBox::RejectRole)
        ->setAccessibleName(QStringLiteral("取   消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(choose, &QPushButton::clicked, this, &FormScanDialog::choose);
    connect(m_remove, &QPushButton::clicked, this, &FormScanDialog::remove);
    for (QDoubleSpinBox* box : {m_offsetX, m_offsetY, m_scale})
        connect(box, &QDoubleSpinBox::valueChanged, this, &FormScanDialog::adjust);
    showScan();
}

void FormScanDialog::showScan() {
    m_showing = true;
    m_file->setText(m_scan.isEmpty() ? QStringLiteral("（无）") : m_scan.fileName);
    m_offsetX->setValue(m_scan.offsetXMm);
    m_offsetY->setValue(m_scan.offsetYMm);
    m_scale->setValue(m_scan.scalePercent);
    for (QWidget* w : {static_cast<QWidget*>(m_remove), static_cast<QWidget*>(m_offsetX),
                       static_cast<QWidget*>(m_offsetY), static_cast<QWidget*>(m_scale)})
        w->setEnabled(!m_scan.isEmpty());
    m_showing = false;
}

void FormScanDialog::choose() {
    const QString path = m_dialogs.chooseOpenFile(FormScanImage::fileFilter());
    if (path.isEmpty())
        return;
    QFile file(path);
    QByteArray bytes;
    QString reason = QStringLiteral("文件无法打开");
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    std::optional<QImage> picture;
    if (!bytes.isEmpty())
        picture = FormScanImage::decode(bytes, &reason);
    if (!picture) {
        // The scan shown before stays as it was.
        m_dialogs.tell(
            QStringLiteral(
                "无法读取底图文件：%1\n（%2）\n请选择PNG、JPEG、BMP、TIFF图像或PDF文件。")
                .arg(QFileInfo(path).fileName(), reason));
        return;
    }
    // A new scan starts on the page as it was scanned.
    m_scan = FormScan{bytes, QFileInfo(path).fileName()};
    m_picture = *picture;
    showScan();
    emit changed();
}

void FormScanDialog::remove() {
    m_scan = FormScan{};
    m_picture = QImage();
    showScan();
    emit changed();
}

void FormScanDialog::adjust() {
    if (m_showing)
        return;
    m_scan.offsetXMm = m_offsetX->value();
    m_scan.offsetYMm = m_offsetY->value();
    m_scan.scalePercent = m_scale->value();
    emit changed();
}
