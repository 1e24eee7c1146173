#include "about/aboutcard.h"
#include "about/jpegimage.h"
#include "app/programwindows.h"
#include "editor/weekdaypicker.h"
#include "store/regionalformats.h"
#include "tests/common/fakeplatform.h"
#include "tests/common/programrun.h"
#include "ui_aboutcard.h"

#include <QCheckBox>
#include <QEnterEvent>
#include <QFile>
#include <QFontMetrics>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <cstdio>

extern "C" {
#include <jpeglib.h>
}

namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray shippedBackground() {
    return readFile(QStringLiteral(ZV_ABOUT_DIR "/background.jpg"));
}

enum class Kind { Rgb, Gray, AdobeCmyk, Progressive };

// Test pictures made with libjpeg's own encoder: a left half of one colour and
// a right half of another, so a decoder that mixes up rows or channels shows.
QByteArray encodeJpeg(Kind kind, int width, int height, QColor left, QColor right) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    const int comps = kind == Kind::Gray ? 1 : kind == Kind::AdobeCmyk ? 4 : 3;
    cinfo.input_components = comps;
    cinfo.in_color_space = kind == Kind::Gray        ? JCS_GRAYSCALE
                           : kind == Kind::AdobeCmyk ? JCS_CMYK
                                                     : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    if (kind == Kind::AdobeCmyk)
        cinfo.write_Adobe_marker = TRUE;
    if (kind == Kind::Progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(size_t(width) * size_t(comps));
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < width; ++x) {
            const QColor c = x < width / 2 ? left : right;
            unsigned char* px = row.data() + x * comps;
            if (kind == Kind::Gray) {
                px[0] = uchar(qGray(c.rgb()));
            } else if (kind == Kind::AdobeCmyk) {
                // Adobe's inverted inks: white paper is 255 everywhere.
                const int k = std::max({c.red(), c.green(), c.blue()});
                px[0] = uchar(k == 0 ? 0 : c.red() * 255 / k);
                px[1] = uchar(k == 0 ? 0 : c.green() * 255 / k);
                px[2] = uchar(k == 0 ? 0 : c.blue() * 255 / k);
                px[3] = uchar(k);
            } else {
                px[0] = uchar(c.red());
                px[1] = uchar(c.green());
                px[2] = uchar(c.blue());
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray out(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);
    return out;
}

bool near(QRgb a, QColor b, int tolerance = 12) {
    return std::abs(qRed(a) - b.red()) <= tolerance &&
           std::abs(qGreen(a) - b.green()) <= tolerance &&
           std::abs(qBlue(a) - b.blue()) <= tolerance;
}

// One run of the program's windows, with the desktop faked.
struct Run : ProgramRun {
    void start() {
        create();
        windows->showAtStart();
    }
    AboutCard* avtor() const { return windows->aboutCard(); }
    void clickMain(const char* name) const {
        auto* b = main()->findChild<QToolButton*>(QString::fromLatin1(name));
        QVERIFY(b != nullptr);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    // A user's click on the card at a point of the window.
    QWidget* clickCard(QPoint at) const {
        QWidget* target = avtor()->childAt(at);
        if (target == nullptr)
            return nullptr;
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(avtor(), at));
        return target;
    }
};

QRect labelRect(QLabel* l) {
    return QRect(l->pos(), l->sizeHint());
}

} // namespace

class TestAbout : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void helpStatesTheChimeRules();
    void init();
    void cleanup();

    void decodesTheShippedBackground();
    void decodesColourGreyCmykAndProgressive_data();
    void decodesColourGreyCmykAndProgressive();
    void damagedPicturesGiveNoImage_data();
    void damagedPicturesGiveNoImage();
    void forgedHugeHeaderIsRefusedUnread();
    void randomDamageNeverCrashes();
    void fitsPicturesProportionally();

    void cardLayout();
    void captionsAreWhole();
    void cardPicturesAreLoaded();
    void damagedBackgroundLeavesABareCard();
    void aboutHidesMainAndPickerAndShowsCardInItsPlace();
    void clickOnCardClosesItAndShowsMain();
    void linksOpenSiteAndMail();
    void linksTurnAquaUnderThePointer();
    void hotSpotLeavesTheBareBackgroundForGood();
    void hotSpotWithoutTrayKeepsMainReachable();
    void helpOpensTheGuideBesideTheProgram();
    void helpFailureShowsThePath();

private:
    std::unique_ptr<Run> r;
};

void TestAbout::helpStatesTheChimeRules() {
    // The guide's words on the hourly chime, as the program keeps them: a
    // task's own sound is left out in the whole first minute of an hour, and
    // the hour-count chimes are silent at midnight.
    QString text = QString::fromUtf8(readFile(QStringLiteral(ZV_HELP_FILE)));
    QVERIFY(!text.isEmpty());
    text.replace(QRegularExpression(QStringLiteral("<[^>]*>")), QStringLiteral(" "));
    text = text.simplified();
    QVERIFY2(text.contains(QStringLiteral("в первую минуту часа")), "the first minute");
    QVERIFY2(text.contains(QStringLiteral("чч:00:59")), "the minute's last second");
    QVERIFY2(text.contains(QStringLiteral("в полночь — ни разу")), "midnight's silence");
    QVERIFY2(!text.contains(QStringLiteral("назначенное ровно на начало часа")), "the old rule");
}

void TestAbout::init() {
    r = std::make_unique<Run>();
    QVERIFY(r->dir.isValid());
    qputenv("XDG_CONFIG_HOME", r->dir.filePath(QStringLiteral("config")).toUtf8());
}

void TestAbout::cleanup() {
    r.reset();
}

void TestAbout::decodesTheShippedBackground() {
    const QImage img = decodeJpeg(shippedBackground());
    QCOMPARE(img.size(), QSize(490, 311));
    // Light sky above, night below: the dark texts sit above, the yellow ones
    // below.
    QVERIFY(qGray(img.pixel(400, 20)) > 200);
    QVERIFY(qBlue(img.pixel(400, 20)) > qRed(img.pixel(400, 20)));
    QVERIFY(qGray(img.pixel(450, 240)) < 80);
}

void TestAbout::decodesColourGreyCmykAndProgressive_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("rgb") << int(Kind::Rgb);
    QTest::newRow("grey") << int(Kind::Gray);
    QTest::newRow("adobe cmyk") << int(Kind::AdobeCmyk);
    QTest::newRow("progressive") << int(Kind::Progressive);
}

void TestAbout::decodesColourGreyCmykAndProgressive() {
    QFETCH(int, kind);
    const QColor left(200, 30, 40);
    const QColor right(20, 60, 210);
    const QByteArray jpeg = encodeJpeg(Kind(kind), 64, 24, left, right);
    const QImage img = decodeJpeg(jpeg);
    QCOMPARE(img.size(), QSize(64, 24));
    if (Kind(kind) == Kind::Gray) {
        QVERIFY(std::abs(qGray(img.pixel(8, 12)) - qGray(left.rgb())) <= 6);
        QVERIFY(std::abs(qGray(img.pixel(56, 12)) - qGray(right.rgb())) <= 6);
        QCOMPARE(qRed(img.pixel(8, 12)), qBlue(img.pixel(8, 12)));
    } else {
        QVERIFY2(near(img.pixel(8, 12), left), qPrintable(QColor(img.pixel(8, 12)).name()));
        QVERIFY2(near(img.pixel(56, 12), right), qPrintable(QColor(img.pixel(56, 12)).name()));
    }
}

void TestAbout::damagedPicturesGiveNoImage_data() {
    QTest::addColumn<QByteArray>("data");
    const QByteArray good = shippedBackground();
    QVERIFY(good.size() > 4000);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("This is no picture at all.\n");
    QTest::newRow("png signature") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    QTest::newRow("start marker only") << QByteArray("\xff\xd8", 2);
    QTest::newRow("cut in the header") << good.left(100);
    QTest::newRow("cut in the middle") << good.left(good.size() / 2);
    QTest::newRow("end marker missing") << good.left(good.size() - 2);
    QByteArray garbage(8192, '\0');
    QRandomGenerator rng(7);
    for (char& c : garbage)
        c = char(rng.bounded(256));
    QTest::newRow("random bytes") << garbage;
    QTest::newRow("start marker, then random bytes") << QByteArray("\xff\xd8\xff", 3) + garbage;
    // The header whole, the picture data replaced by noise.
    QByteArray scrambled = good;
    for (qsizetype i = scrambled.size() / 3; i < scrambled.size() - 2; ++i)
        scrambled[i] = char(rng.bounded(256));
    QTest::newRow("scrambled picture data") << scrambled;
}

void TestAbout::damagedPicturesGiveNoImage() {
    QFETCH(QByteArray, data);
    QVERIFY(decodeJpeg(data).isNull());
}

void TestAbout::forgedHugeHeaderIsRefusedUnread() {
    // A small picture whose frame header claims 60000 x 60000 pixels.
    QByteArray jpeg = encodeJpeg(Kind::Rgb, 16, 16, Qt::white, Qt::black);
    const qsizetype sof = jpeg.indexOf(QByteArray("\xff\xc0", 2));
    QVERIFY(sof > 0);
    // Marker, length (2), precision (1), height (2), width (2).
    for (int at : {5, 7}) {
        jpeg[sof + at] = char(0xea);
        jpeg[sof + at + 1] = char(0x60);
    }
    QVERIFY(decodeJpeg(jpeg).isNull());
}

void TestAbout::randomDamageNeverCrashes() {
    // Whatever a damaged file holds, the result is a whole picture or none.
    const QByteArray good = shippedBackground();
    QRandomGenerator rng(2026);
    int whole = 0;
    int none = 0;
    for (int round = 0; round < 1500; ++round) {
        QByteArray bad = good;
        const int flips = 1 + rng.bounded(8);
        for (int i = 0; i < flips; ++i)
            bad[rng.bounded(int(bad.size()))] = char(rng.bounded(256));
        if (round % 3 == 0)
            bad.truncate(rng.bounded(int(bad.size())));
        const QImage img = decodeJpeg(bad);
        if (img.isNull()) {
            ++none;
        } else {
            QCOMPARE(img.size(), QSize(490, 311));
            ++whole;
        }
    }
    qInfo("damaged copies: %d decoded whole, %d refused", whole, none);
    QVERIFY(none >= 500); // at least every cut-off copy
}

void TestAbout::fitsPicturesProportionally() {
    const QSize box(230, 284);
    QCOMPARE(AboutCard::fitProportionally(QSize(100, 50), box), QSize(100, 50));
    QCOMPARE(AboutCard::fitProportionally(QSize(230, 284), box), QSize(230, 284));
    QCOMPARE(AboutCard::fitProportionally(QSize(460, 284), box), QSize(230, 142));
    QCOMPARE(AboutCard::fitProportionally(QSize(115, 568), box), QSize(57, 284));
    QCOMPARE(AboutCard::fitProportionally(QSize(5000, 1), box), QSize(230, 1));
}

void TestAbout::cardLayout() {
    r->start();
    r->clickMain("sbAbout");
    AboutCard* a = r->avtor();
    QVERIFY(a->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(a->size(), QSize(490, 311));
    QCOMPARE(a->windowTitle(), QStringLiteral("Авторство"));

    // Back to front: later children lie over earlier ones.
    QStringList order;
    for (QObject* o : a->children())
        if (o->isWidgetType())
            order << o->objectName();
    QCOMPARE(
        order,
        QStringList({QStringLiteral("Image2"), QStringLiteral("Label2"), QStringLiteral("lnName"),
                     QStringLiteral("Label7"), QStringLiteral("Label1"), QStringLiteral("Label4"),
                     QStringLiteral("Image1"), QStringLiteral("Label8"), QStringLiteral("Label9"),
                     QStringLiteral("Label15"), QStringLiteral("ClickImg"),
                     QStringLiteral("lbSite"), QStringLiteral("lMail"), QStringLiteral("Image3")}));

    const Ui::TfmAvtor& ui = a->form();
    QCOMPARE(ui.Image2->geometry(), QRect(0, 0, 490, 311));
    QCOMPARE(ui.ClickImg->geometry(), QRect(0, 0, 490, 311));
    QCOMPARE(ui.Image1->geometry(), QRect(-5, -19, 230, 284));
    QCOMPARE(ui.Label8->geometry(), QRect(316, 10, 160, 45));
    QCOMPARE(ui.Image3->geometry(), QRect(208, 16, 9, 9));
    const struct {
        QLabel* label;
        QPoint at;
        QString text;
        QColor colour;
    } labels[] = {
        {ui.Label2, {302, 79}, QStringLiteral("представляет:"), QColor(0, 128, 128)},
        {ui.lnName, {295, 113}, QStringLiteral("Звонарька v.2.5"), QColor(128, 128, 128)},
        {ui.Label7, {428, 296}, QStringLiteral("2026"), QColor(255, 255, 0)},
        {ui.Label1,
         {228, 223},
         QStringLiteral("Ничего особенного в этой проге нет, разве что "),
         QColor(255, 255, 0)},
        {ui.Label4,
         {228, 239},
         QStringLiteral("только куча найденных и убитых глюков%)"),
         QColor(255, 255, 0)},
        {ui.Label8, {316, 10}, QStringLiteral("Korvel"), QColor(0, 0, 128)},
        {ui.Label9,
         {229, 255},
         QStringLiteral("Если втретишь еще живой, срочно сообщи:"),
         QColor(255, 255, 0)},
        {ui.Label15,
         {41, 293},
         QStringLiteral("Информационная поддержка и размещение  проги:"),
         QColor(255, 255, 0)},
        {ui.lbSite, {307, 293}, QStringLiteral("zvonarka.example.org"), QColor(0, 0, 255)},
        {ui.lMail, {357, 275}, QStringLiteral("korvel@example.org"), QColor(0, 0, 255)},
    };
    for (const auto& l : labels) {
        QCOMPARE(l.label->pos(), l.at);
        QCOMPARE(l.label->text(), l.text);
        QCOMPARE(l.label->palette().color(QPalette::WindowText), l.colour);
        QVERIFY(!l.label->autoFillBackground());
    }
    QVERIFY(ui.lnName->font().bold());
    QVERIFY(ui.Label8->font().bold());
    QVERIFY(ui.lbSite->font().underline());
    QVERIFY(ui.lMail->font().underline());
    // Heights are those of the whole character cell.
    QVERIFY(std::abs(QFontMetrics(ui.Label2->font()).height() - 19) <= 1);
    QVERIFY(std::abs(QFontMetrics(ui.lnName->font()).height() - 21) <= 1);
    QVERIFY(std::abs(QFontMetrics(ui.Label8->font()).height() - 46) <= 2);
    QCOMPARE(AboutCard::siteUrl(), QStringLiteral("https://zvonarka.example.org/"));
}

void TestAbout::captionsAreWhole() {
    r->start();
    r->clickMain("sbAbout");
    const Ui::TfmAvtor& ui = r->avtor()->form();
    const QRect card(0, 0, 490, 311);
    for (QLabel* l : r->avtor()->findChildren<QLabel*>()) {
        if (l->text().isEmpty())
            continue;
        // The label holds its whole text and the text lies on the card.
        QVERIFY2(l->width() >= l->sizeHint().width() && l->height() >= l->sizeHint().height(),
                 qPrintable(l->objectName() + u' ' + QString::number(l->sizeHint().width()) + u'x' +
                            QString::number(l->sizeHint().height())));
        QVERIFY2(card.contains(labelRect(l)), qPrintable(l->objectName()));
    }
    // Texts that share a line do not run into each other.
    QVERIFY(labelRect(ui.Label15).right() < ui.lbSite->x());
    QVERIFY(labelRect(ui.lbSite).right() < ui.Label7->x());
    QVERIFY(labelRect(ui.Label1).right() < 490);
    QVERIFY(labelRect(ui.Label8).height() <= 45);
}

void TestAbout::cardPicturesAreLoaded() {
    r->start();
    const Ui::TfmAvtor& ui = r->avtor()->form();
    // Not at start-up: only when the card is first shown.
    QVERIFY(ui.Image2->pixmap().isNull());
    QVERIFY(ui.Image1->pixmap().isNull());
    r->clickMain("sbAbout");
    QCOMPARE(ui.Image2->pixmap().size(), QSize(490, 311));
    QVERIFY(ui.Image2->hasScaledContents());
    const QPixmap art = ui.Image1->pixmap();
    QVERIFY(!art.isNull());
    QVERIFY(art.width() <= 230 && art.height() <= 284);
    // The bitmap's key colour is cut out: the bottom-left corner lets the
    // background through, the clock's face does not.
    const QImage masked = art.toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(qAlpha(masked.pixel(0, masked.height() - 1)), 0);
    QCOMPARE(qAlpha(masked.pixel(112, 158)), 255);
}

void TestAbout::damagedBackgroundLeavesABareCard() {
    r->start();
    AboutCard* a = r->avtor();
    r->clickMain("sbAbout");
    QCOMPARE(r->clickCard(QPoint(100, 100)), static_cast<QWidget*>(a->form().ClickImg));
    const QByteArray good = shippedBackground();
    QVERIFY(!a->loadBackground(good.left(good.size() / 2)));
    QVERIFY(a->form().Image2->pixmap().isNull());
    QVERIFY(!a->loadBackground(QByteArray("garbage")));
    // The card still works without its picture, and showing it again does not
    // bring the picture back behind the damaged one's back.
    r->clickMain("sbAbout");
    QVERIFY(a->isVisible());
    QVERIFY(a->form().Image2->pixmap().isNull());
    QVERIFY(!a->grab().isNull());
    QCOMPARE(r->clickCard(QPoint(100, 100)), static_cast<QWidget*>(a->form().ClickImg));
    QVERIFY(!a->isVisible());
    QVERIFY(r->main()->isVisible());
    QVERIFY(a->loadBackground(good));
    QCOMPARE(a->form().Image2->pixmap().size(), QSize(490, 311));
}

void TestAbout::aboutHidesMainAndPickerAndShowsCardInItsPlace() {
    r->start();
    MainWindow* w = r->main();
    w->move(137, 91);
    r->week()->findChild<QCheckBox*>(QStringLiteral("cbHold"))->setChecked(true);
    r->week()->show();
    r->clickMain("sbAbout");
    QVERIFY(!w->isVisible());
    QVERIFY(!r->week()->isVisible());
    QVERIFY(r->avtor()->isVisible());
    QCOMPARE(r->avtor()->pos(), QPoint(137, 91));
    // The card follows the main window each time it is shown.
    r->clickCard(QPoint(300, 200));
    w->move(20, 240);
    r->clickMain("sbAbout");
    QCOMPARE(r->avtor()->pos(), QPoint(20, 240));
}

void TestAbout::clickOnCardClosesItAndShowsMain() {
    r->start();
    MainWindow* w = r->main();
    w->move(60, 70);
    r->week()->findChild<QCheckBox*>(QStringLiteral("cbHold"))->setChecked(true);
    // Over the texts, the illustration and bare picture alike: the click
    // layer takes it.
    const QPoint points[] = {{240, 228}, {100, 100}, {480, 5}, {320, 20}, {60, 298}, {450, 300}};
    for (QPoint at : points) {
        r->clickMain("sbAbout");
        QVERIFY(r->avtor()->isVisible());
        QCOMPARE(r->clickCard(at), static_cast<QWidget*>(r->avtor()->form().ClickImg));
        QVERIFY(!r->avtor()->isVisible());
        QVERIFY(w->isVisible());
        QCOMPARE(w->pos(), QPoint(60, 70));
        // The main window's showing brings the pinned picker along.
        QVERIFY(r->week()->isVisible());
    }
    QVERIFY(r->platform.opened.isEmpty());
}

void TestAbout::linksOpenSiteAndMail() {
    r->start();
    const Ui::TfmAvtor& ui = r->avtor()->form();
    r->clickMain("sbAbout");
    QCOMPARE(r->clickCard(ui.lbSite->geometry().center()), static_cast<QWidget*>(ui.lbSite));
    QCOMPARE(r->clickCard(ui.lMail->geometry().center()), static_cast<QWidget*>(ui.lMail));
    QCOMPARE(r->platform.opened, QStringList({QStringLiteral("https://zvonarka.example.org/"),
                                              QStringLiteral("mailto:korvel@example.org")}));
    // A link that cannot be opened is not reported, and the card stays.
    r->platform.openSucceeds = false;
    r->clickCard(ui.lbSite->geometry().center());
    QVERIFY(r->platform.boxes.isEmpty());
    QVERIFY(r->avtor()->isVisible());
    QVERIFY(!r->main()->isVisible());
}

void TestAbout::linksTurnAquaUnderThePointer() {
    r->start();
    const Ui::TfmAvtor& ui = r->avtor()->form();
    r->clickMain("sbAbout");
    const QColor aqua(0, 255, 255);
    const QColor blue(0, 0, 255);
    for (QLabel* link : {static_cast<QLabel*>(ui.lbSite), static_cast<QLabel*>(ui.lMail)}) {
        QLabel* other = link == ui.lbSite ? static_cast<QLabel*>(ui.lMail) : ui.lbSite;
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), link->mapToGlobal(QPointF(2, 2)));
        QCoreApplication::sendEvent(link, &enter);
        QCOMPARE(link->palette().color(QPalette::WindowText), aqua);
        QCOMPARE(other->palette().color(QPalette::WindowText), blue);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(link, &leave);
        QCOMPARE(link->palette().color(QPalette::WindowText), blue);
    }
}

void TestAbout::hotSpotLeavesTheBareBackgroundForGood() {
    r->start();
    MainWindow* w = r->main();
    AboutCard* a = r->avtor();
    r->clickMain("sbAbout");
    QCOMPARE(r->clickCard(QPoint(212, 20)), static_cast<QWidget*>(a->form().Image3));
    QVERIFY(a->isVisible());
    // The picture lies over everything: the links are gone too.
    for (QPoint at : {QPoint(212, 20), a->form().lbSite->geometry().center(), QPoint(240, 228)})
        QCOMPARE(a->childAt(at), static_cast<QWidget*>(a->form().Image2));
    QCOMPARE(r->clickCard(a->form().lMail->geometry().center()),
             static_cast<QWidget*>(a->form().Image2));
    QVERIFY(r->platform.opened.isEmpty());
    QVERIFY(!a->isVisible());
    QVERIFY(!w->isVisible());
    QVERIFY(!w->isMinimized());
    // The tray brings the main window back; the card stays bare from now on.
    r->platform.trayIcon()->doubleClick();
    QVERIFY(w->isVisible());
    r->clickMain("sbAbout");
    QCOMPARE(a->childAt(QPoint(240, 228)), static_cast<QWidget*>(a->form().Image2));
}

void TestAbout::hotSpotWithoutTrayKeepsMainReachable() {
    r->platform.trayAvailable = false;
    r->start();
    MainWindow* w = r->main();
    AboutCard* a = r->avtor();
    r->clickMain("sbAbout");
    r->clickCard(QPoint(212, 20));
    r->clickCard(QPoint(240, 228));
    QVERIFY(!a->isVisible());
    // With no tray to come back from, the main window waits minimised.
    QVERIFY(w->isVisible());
    QVERIFY(w->isMinimized());
}

void TestAbout::helpOpensTheGuideBesideTheProgram() {
    r->platform.program = QStringLiteral("/opt/my apps/Звонарька 2.5/zvonarka");
    r->start();
    r->clickMain("sbHelp");
    // One path, spaces and all, handed over whole.
    QCOMPARE(r->platform.opened,
             QStringList({QStringLiteral("/opt/my apps/Звонарька 2.5/help/help.htm")}));
    QVERIFY(r->platform.boxes.isEmpty());
    QVERIFY(r->main()->isVisible());
}

void TestAbout::helpFailureShowsThePath() {
    r->platform.program = QStringLiteral("/home/user/my programs/zvonarka");
    r->platform.openSucceeds = false;
    r->start();
    r->clickMain("sbHelp");
    QCOMPARE(r->platform.boxes.size(), 1);
    QCOMPARE(
        r->platform.boxes.at(0).text,
        QStringLiteral("Возникли проблемы с открытием файла /home/user/my programs/help/help.htm"));
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
