// The windows on a screen scaled by two (QT_SCALE_FACTOR=2, set by CTest):
// the layout keeps its sizes in the layout's units, and every picture the
// program draws or ships is there in the screen's own pixels, not blown up
// from half as many. (The real program on a 192-dpi X server: e2e_hidpi.)

#include "about/aboutcard.h"
#include "tests/common/programrun.h"
#include "ui_aboutcard.h"
#include "uicommon/icons.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <QWindow>

class TestHiDpi : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void scaledByTwo();
};

void TestHiDpi::scaledByTwo() {
    QCOMPARE(qApp->devicePixelRatio(), 2.0);
    ProgramRun r;
    r.create();
    r.windows->showAtStart();
    MainWindow* main = r.main();
    QVERIFY(QTest::qWaitForWindowExposed(main));
    QCOMPARE(main->windowHandle()->devicePixelRatio(), 2.0);

    // The tray menu's pictures: 16 by 16 in the layout, 32 by 32 pixels,
    // painted at that size (a 16-pixel picture would be blown up).
    const QList<QAction*> actions = main->trayMenu()->actions();
    int pictures = 0;
    for (QAction* a : actions) {
        if (a->isSeparator())
            continue;
        const QPixmap pm = a->icon().pixmap(QSize(16, 16), 2.0);
        QCOMPARE(pm.size(), QSize(32, 32));
        ++pictures;
    }
    QCOMPARE(pictures, 3);
    // The window's icon (also the tray's) at its largest common sizes.
    for (int size : {32, 128}) {
        const QPixmap pm = main->windowIcon().pixmap(QSize(size, size), 2.0);
        QCOMPARE(pm.size(), QSize(2 * size, 2 * size));
    }
    // Its sizes kept ready-made are the painting's very pixels: this fails
    // while the pictures in uicommon/alarmclock/ are out of date with it.
    for (const QSize& size : main->windowIcon().availableSizes()) {
        const QImage painted = icons::alarmClock(size.width()).toImage();
        QCOMPARE(main->windowIcon().pixmap(size, 1.0).toImage(), painted);
        // The file itself too: one the program cannot take falls back to painting.
        const QImage file(QStringLiteral(":/alarmclock/%1.png").arg(size.width()));
        QCOMPARE(file.convertToFormat(painted.format()), painted);
    }

    // The About card keeps its 490 by 311, its pictures in twice the pixels.
    auto* about = main->findChild<QToolButton*>(QStringLiteral("sbAbout"));
    QVERIFY(about != nullptr);
    QTest::mouseClick(about, Qt::LeftButton);
    AboutCard* card = r.windows->aboutCard();
    QVERIFY(QTest::qWaitForWindowExposed(card));
    QCOMPARE(card->size(), QSize(490, 311));
    const QPixmap background = card->form().Image2->pixmap();
    QCOMPARE(background.devicePixelRatio(), 2.0);
    QCOMPARE(background.size(), QSize(980, 622));
    const QPixmap illustration = card->form().Image1->pixmap();
    QCOMPARE(illustration.devicePixelRatio(), 2.0);
    QVERIFY(illustration.deviceIndependentSize().width() <= card->form().Image1->width());
    QVERIFY(illustration.deviceIndependentSize().height() <= card->form().Image1->height());
    QCOMPARE(card->grab().size(), QSize(980, 622));
}

QTEST_MAIN(TestHiDpi)
#include "tst_hidpi.moc"
