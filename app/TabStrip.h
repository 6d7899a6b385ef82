#pragma once

#include <QList>
#include <QWidget>

class QTabBar;

// A tab strip whose children are placed from its own top-left corner, header row
// included, the way the window layout counts. Widgets added to a tab are shown only while
// that tab is selected; other children are always shown.
class TabStrip : public QWidget {
    Q_OBJECT
public:
    // The row of tab headers is 300 twips high.
    static constexpr int HeaderHeightPixels = 20;

    explicit TabStrip(QWidget* parent = nullptr);

    int addTab(const QString& caption);
    void addToTab(int tab, QWidget* widget);

    QTabBar* tabBar() const { return m_bar; }
    int currentIndex() const;
    // Reports currentChanged only when the tab really changes.
    void setCurrentIndex(int index);

signals:
    void currentChanged(int index);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showPages(int index);

    QTabBar* m_bar = nullptr;
    QList<QList<QWidget*>> m_pages;
};
