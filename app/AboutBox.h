#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;

// The program's own logo: a quill over the marsh, drawn to whatever size it is given.
class MakerLogo : public QWidget {
    Q_OBJECT
public:
    explicit MakerLogo(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The about box `frmAbout`: the program's name, version and logo; the logo and every
// label lead to the maker's home page.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    // Client area and control places, in twips as the window layout gives them.
    static constexpr int clientWidthTwips = 5730;
    static constexpr int clientHeightTwips = 3660;

    explicit AboutBox(const QString& version, QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MakerLogo* m_logo = nullptr;
    QList<QLabel*> m_labels;
    QPushButton* m_ok = nullptr;
};

// Shows the about box of the main window without waiting for it, always on top and
// centred on the screen; a box already open is brought to the front instead. The version
// is the number the main window's caption ends with.
AboutBox* ShowAboutBox(QWidget& mainWindow);
