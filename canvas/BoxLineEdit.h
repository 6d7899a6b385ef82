#pragma once

#include <QLineEdit>

// A single-line box: a line edit that draws its own thin frame, so that boxes which
// touch or overlap still show each one's edges.
class BoxLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit BoxLineEdit(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    // Enter goes on to the next box in tab order, Shift+Enter back to the one before.
    void keyPressEvent(QKeyEvent* event) override;
};
