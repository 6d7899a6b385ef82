#pragma once

#include "UserDialogs.h"

#include <QDialog>

class QFontDialog;
class QPushButton;

// Qt's font dialog with a colour choice beside it: face, size, bold, italic,
// underline, strike-through and the text colour in one place.
class FontColorDialog : public QDialog {
    Q_OBJECT
public:
    explicit FontColorDialog(const FontChoice& initial, QWidget* parent = nullptr);
    FontChoice choice() const;

private:
    void chooseColor();
    void showColor();

    QFontDialog* m_fonts = nullptr;
    QPushButton* m_colorButton = nullptr;
    QColor m_color;
    FontChoice m_initial;
    bool m_fontTouched = false;
    QString m_resolvedInitial;
};
