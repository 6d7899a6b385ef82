#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

// The bar of the progress window: filled in pure blue from the left, never shrinking
// until the window is opened again.
class ProgressBarPicture : public QWidget {
    Q_OBJECT
public:
    explicit ProgressBarPicture(QWidget* parent = nullptr);
    void clear();
    // Draws the bar for value / total of the width; total 0 draws nothing.
    void drawFor(int value, int total);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_drawnWidth = 0;
};

// The window 进度显示: always on top, its caption the transfer's title; Esc asks the
// running transfer to stop.
class ProgressDisplay : public QWidget {
    Q_OBJECT
public:
    explicit ProgressDisplay(QWidget* parent = nullptr);
    ProgressBarPicture* picture() const { return m_picture; }
    bool cancelled() const { return m_cancelled; }
    void place();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    ProgressBarPicture* m_picture = nullptr;
    bool m_cancelled = false;
};

// The progress indicator of the Excel transfers: open once, step, close once. Every call
// lets pending window events run, which keeps the program repainted and lets Esc through.
class Indicater {
public:
    Indicater() = default;
    ~Indicater();
    Indicater(const Indicater&) = delete;
    Indicater& operator=(const Indicater&) = delete;

    void IndicaterOpen(const QString& caption, int total, QWidget* parent = nullptr);
    void IndicaterSet(int value);
    void IndicaterStep(int delta);
    void IndicaterClose();
    // Keeps its value after the window is closed, until the next open.
    bool ProgressCancelled() const;

    ProgressDisplay* window() const { return m_window; }

    // The window's design caption before it is opened.
    static QString designCaption() { return QStringLiteral("进度条指示器"); }

private:
    QString m_caption;
    int m_total = 0;
    int m_value = 0;
    bool m_cancelled = false;
    QPointer<ProgressDisplay> m_window;
};
