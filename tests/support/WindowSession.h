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
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

inline void click(const QString& name) {
    QAbstractButton* button = named(name);
    QVERIFY2(button, qPrintable(name));
    click(button);
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

    // Writes a history record from outside the window, as an earlier run left it.
    void storeRecord(Mode mode, const QList<QPair<int, QString>>& texts, int ord = 0) {
        DataBase db(dialogs, dbPath);
        Form f;
        for (const auto& [index, text] : texts)
            f.setText(index, text);
        QVERIFY(db.SaveHistoryRecord(f, Catalogue::modeWord(mode), ord));
    }
    QMap<int, QString> storedRecord(Mode mode, int ord) {
        DataBase db(dialogs, dbPath);
        Form f;
        db.LoadHistoryRecord(f, ord, Catalogue::modeWord(mode));
        QMap<int, QString> texts;
        for (int i = 0; i < BoxCount; ++i)
            if (!f.text(i).isEmpty())
                texts.insert(i, f.text(i));
        return texts;
    }
};
