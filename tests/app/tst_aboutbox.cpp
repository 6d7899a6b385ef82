#include "AboutBox.h"
#include "MakerSite.h"
#include "TestFolder.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

class AboutBoxTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(m_folder.isValid());
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_urls, "open");
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }
    void init() {
        m_urls.opened.clear();
        m_window.setWindowTitle(QStringLiteral("Quillmarsh报关单打印软件1.13"));
    }
    void cleanup() {
        for (AboutBox* box : m_window.findChildren<AboutBox*>())
            delete box;
    }

    void opensModelessOnTopAndCentred() {
        AboutBox* box = ShowAboutBox(m_window);
        QVERIFY(box);
        QVERIFY(box->isVisible());
        QVERIFY(!box->isModal());
        QVERIFY(box->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(box->windowTitle(), QStringLiteral("关于 Quillmarsh报关单打印软件"));
        QCOMPARE(box->size(), QSize(5730 / 15, 3660 / 15));
        QCOMPARE(box->logo()->geometry(), QRect(16, 8, 111, 111));
        QCOMPARE(box->okButton()->text(), QStringLiteral("确   定"));
        QCOMPARE(box->okButton()->geometry(), QRect(275, 184, 100, 23));
        const QRect screen = m_window.screen()->geometry();
        QCOMPARE(box->x(), screen.x() + (screen.width() - box->width()) / 2);
        QCOMPARE(box->y(), screen.y() + (screen.height() - box->height()) / 2);
    }

    void showsNameAndVersionOfTheCaption() {
        m_window.setWindowTitle(QStringLiteral("Quillmarsh报关单打印软件2.05"));
        AboutBox* box = ShowAboutBox(m_window);
        QStringList texts;
        for (QLabel* label : box->labels())
            texts.append(label->text());
        QVERIFY2(texts.contains(QStringLiteral("Quillmarsh报关单打印软件")),
                 qPrintable(texts.join(u'|')));
        QVERIFY2(texts.join(u'|').contains(QStringLiteral("2.05")), qPrintable(texts.join(u'|')));
        // Every label lies inside the client area and clear of the logo and the button.
        for (QLabel* label : box->labels()) {
            QVERIFY(box->rect().contains(label->geometry()));
            QVERIFY(!label->geometry().intersects(box->logo()->geometry()));
            QVERIFY(!label->geometry().intersects(box->okButton()->geometry()));
        }
    }

    void logoIsDrawn() {
        AboutBox* box = ShowAboutBox(m_window);
        const QImage image = box->logo()->grab().toImage();
        QVERIFY(!image.isNull());
        // More than a blank: the picture has several distinct colours in it.
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 4)
            for (int x = 0; x < image.width(); x += 4)
                colours.insert(image.pixel(x, y));
        QVERIFY(colours.size() > 5);
    }

    void clickOpensHomePage_data() {
        QTest::addColumn<QString>("control");
        QTest::newRow("logo") << "IMG";
        QTest::newRow("title") << "lblTitle";
        QTest::newRow("version") << "lblVersion";
        QTest::newRow("copyright") << "lblCopyright";
        QTest::newRow("site") << "lblSite";
    }
    void clickOpensHomePage() {
        QFETCH(QString, control);
        AboutBox* box = ShowAboutBox(m_window);
        auto* widget = box->findChild<QWidget*>(control);
        QVERIFY(widget);
        QTest::mouseClick(widget, Qt::LeftButton);
        QCOMPARE(m_urls.opened, QList<QUrl>{MakerSite::homePage()});
        QVERIFY(box->isVisible());
        QTest::mouseClick(widget, Qt::RightButton);
        QCOMPARE(m_urls.opened.size(), 1);
    }

    void okClosesAndTheNextOpensAnew() {
        QPointer<AboutBox> box = ShowAboutBox(m_window);
        QCOMPARE(ShowAboutBox(m_window), box.data()); // one box at a time
        QTest::mouseClick(box->okButton(), Qt::LeftButton);
        QVERIFY(!box->isVisible());
        QVERIFY(m_urls.opened.isEmpty());
        AboutBox* again = ShowAboutBox(m_window);
        QVERIFY(again != box.data());
        QVERIFY(again->isVisible());
        QTRY_VERIFY(box.isNull()); // the closed one is gone
        QCOMPARE(m_window.findChildren<AboutBox*>().size(), 1);
    }

    void onlineHelpOpensChatPage() {
        MakerSite::OpenChatHelp();
        QCOMPARE(m_urls.opened, QList<QUrl>{MakerSite::chatHelpPage()});
        QCOMPARE(MakerSite::chatHelpPage().host(), MakerSite::host());
        QCOMPARE(MakerSite::homePage().toString(),
                 QStringLiteral("http://") + MakerSite::host() + QStringLiteral("/"));
    }

private:
    TestFolder m_folder;
    UrlCatcher m_urls;
    QMainWindow m_window;
};

QTEST_MAIN(AboutBoxTest)
#include "tst_aboutbox.moc"
