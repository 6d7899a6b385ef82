#pragma once

#include "FormScan.h"

#include <QDialog>
#include <QImage>

class QDoubleSpinBox;
class QLabel;
class QPushButton;
class UserDialogs;

// "设置底图": the scan of the blank form for one mode. The clerk chooses an image or a PDF,
// removes the scan, or moves and scales it a little; every change is reported at once so
// that the page shows it, and the caller keeps it on OK or puts the old one back.
class FormScanDialog : public QDialog {
    Q_OBJECT
public:
    FormScanDialog(const FormScan& scan, const QImage& picture, const QString& modeCaption,
                   UserDialogs& dialogs, QWidget* parent = nullptr);

    static QString title() { return QStringLiteral("设置底图"); }

    const FormScan& scan() const { return m_scan; }
    const QImage& picture() const { return m_picture; }

signals:
    void changed();

private:
    void choose();
    void remove();
    void adjust();
    void showScan();

    UserDialogs& m_dialogs;
    FormScan m_scan;
    QImage m_picture;
    QLabel* m_file = nullptr;
    QDoubleSpinBox* m_offsetX = nullptr;
    QDoubleSpinBox* m_offsetY = nullptr;
    QDoubleSpinBox* m_scale = nullptr;
    QPushButton* m_remove = nullptr;
    bool m_showing = false;
};
