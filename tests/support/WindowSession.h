#pragma once

#include "DataBase.h"
#include "Form.h"
#include "MF.h"
#include "PageWidget.h"
#include "ScriptedDialogs.h"
#include "TabStrip.h"
#include "TestFolder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QMouseEvent>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QTabBar>
#include <QTest>

#include <memory>

// A control of any open window found as the clerk's screen reader finds it, by its name.
template <typename T = QAbstractButton> T* named(const QString& name) {
    for (QWidget* top : QApplication::topLevelWidgets())
        for (T* w : top->findChildren<T*>())
            if (w->accessibleName() == name)
                return w;
    return nullptr;
}

inline void click(QAbstractButton* button) {
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

inline void click(const QString& name) {
    click(named(name));
}

// The main window over a database and per-user settings of its own, shown and active.
struct WindowSession {
    TestFolder folder;
    ScriptedDialogs dialogs;
    QString dbPath = folder.file(QStringLiteral("Par.db"));
    std::unique_ptr<MF> mf;

    WindowSession() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder.path());
    }
    ~WindowSession() { close(); }
    void start(QSize screen = QSize(1024, 768)) {
        mf = std::make_unique<MF>(dialogs, dbPath, screen);
        mf->show();
        activate();
    }
    void activate() const {
        mf->activateWindow();
        QApplication::setActiveWindow(mf.get());
        QVERIFY(QTest::qWaitForWindowActive(mf.get()));
    }
    // Sends what `printer` prints to the PDF file `file`.
    static bool toPdf(QPrinter& printer, const QString& file) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        return true;
    }
    void close() {
        if (mf)
            mf->close();
        mf.reset();
    }

    Form& form() const { return mf->form(); }
    PageWidget* page() const { return mf->page(); }
    QWidget* box(int i) const { return page()->boxWidget(i); }
    QString shown(int i) const { return page()->boxWidgetText(i); }
    // "SST" the views, "SS1" the form view's mode, "SS2" the history view's mode.
    TabStrip* tabs(const char* strip) const { return mf->findChild<TabStrip*>(strip); }
    void selectTab(const char* strip, int tab) const {
        QTabBar* bar = tabs(strip)->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
        QCOMPARE(tabs(strip)->currentIndex(), tab);
    }

    // Pointer and lock helpers of the editing tests, in page twips and page pixels.
    QWidget* target(int i) const { return page()->boxMouseTarget(i); }
    QPoint pixel(QPointF twips) const { return page()->pageToPixel(twips).toPoint(); }
    QPoint on(QWidget* widget, QPoint pagePixel) const {
        return widget->mapFromGlobal(page()->mapToGlobal(pagePixel));
    }
    QPoint onBox(int i, QPointF local) const {
        const Box& bx = form().box(i);
        return on(target(i), pixel(QPointF(bx.left, bx.top) + local));
    }
    void setLocked(bool locked) const {
        auto* lock = named<QCheckBox>(QStringLiteral("锁定格式"));
        if (lock->isChecked() != locked)
            QTest::mouseClick(lock, Qt::LeftButton, {}, QPoint(8, lock->height() / 2));
        QCOMPARE(lock->isChecked(), locked);
    }
    // A pointer move with `buttons` held, as the grabbing widget receives it.
    void moveHeld(QWidget* receiver, QPoint pagePixel,
                  Qt::MouseButtons buttons = Qt::LeftButton) const {
        const QPoint global = page()->mapToGlobal(pagePixel);
        QMouseEvent move(QEvent::MouseMove, receiver->mapFromGlobal(global), global, Qt::NoButton,
                         buttons, Qt::NoModifier);
        QApplication::sendEvent(receiver, &move);
    }
    // The pointer comes to rest on box `i` at a local point, coming from the page's corner.
    void hover(int i, QPointF local) const {
        QTest::mouseMove(page(), QPoint(2, 2));
        QTest::mouseMove(target(i), onBox(i, local));
    }
    // Press on box `i` at a local point, move by `by` page twips in steps and release.
    void dragBox(int i, QPointF local, QPointF by) const {
        QWidget* t = target(i);
        hover(i, local);
        const QPoint start = page()->mapFromGlobal(t->mapToGlobal(onBox(i, local)));
        QTest::mousePress(t, Qt::LeftButton, {}, onBox(i, local));
        QPoint end = start;
        for (int step = 1; step <= 10; ++step)
            moveHeld(t, end = pixel(page()->pixelToPage(start) + by * step / 10));
        QTest::mouseRelease(t, Qt::LeftButton, {}, on(t, end));
    }

    // Writes a history record from outside the window, as an earlier run left it.
    void storeRecord(Mode mode, const QList<QPair<int, QString>>& texts, int ord = 0) {
        Form f;
        for (const auto& [index, text] : texts)
            f.setText(index, text);
        QVERIFY(DataBase(dbPath).SaveHistoryRecord(f, mode, ord));
    }
    QMap<int, QString> storedRecord(Mode mode, int ord) {
        Form f;
        DataBase(dbPath).LoadHistoryRecord(f, ord, mode);
        QMap<int, QString> texts;
        for (int i = 0; i < BoxCount; ++i)
            if (!f.text(i).isEmpty())
                texts.insert(i, f.text(i));
        return texts;
    }
};
