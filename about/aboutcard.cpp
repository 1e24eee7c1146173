#include "about/aboutcard.h"
#include "ui_aboutcard.h"

#include "about/jpegimage.h"
#include "platform/platform.h"
#include "platform/windowhints.h"
#include "uicommon/handlerguard.h"

#include <QCloseEvent>
#include <QEvent>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QShowEvent>
#include <QWindow>

// The card's pictures are part of the program, as they were part of the form,
// so they are built into it rather than shipped as files beside it.
static void initAboutResources() {
    Q_INIT_RESOURCE(about);
}

namespace {

const QString kBackground = QStringLiteral(":/about/background.jpg");
const QString kIllustration = QStringLiteral(":/about/illustration.bmp");
// The same pictures drawn at twice the size, for screens scaled by two or more.
const QString kBackground2x = QStringLiteral(":/about/background@2x.jpg");
const QString kIllustration2x = QStringLiteral(":/about/illustration@2x.bmp");

// The pictures' own pixel ratio: 2 where the screen has at least that many
// pixels to the layout's one.
qreal pictureRatio() {
    return qApp->devicePixelRatio() >= 2.0 ? 2.0 : 1.0;
}
const QString kSiteUrl = QStringLiteral("https://zvonarka.example.org/");
const QString kMail = QStringLiteral("korvel@example.org");

const QColor kTeal(0, 128, 128);
const QColor kGray(128, 128, 128);
const QColor kYellow(255, 255, 0);
const QColor kNavy(0, 0, 128);
const QColor kBlue(0, 0, 255);
const QColor kAqua(0, 255, 255);

QByteArray readResource(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void setTextColour(QWidget* w, const QColor& colour) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, colour);
    w->setPalette(pal);
}

// The font whose lines are at most this many pixels high: the card's sizes
// are heights of the whole character cell, which fits the 45-pixel box of
// the 46-pixel name.
QFont fontOfHeight(QFont font, int pixels) {
    int size = pixels;
    font.setPixelSize(size);
    while (size > 4 && QFontMetrics(font).height() > pixels)
        font.setPixelSize(--size);
    return font;
}

} // namespace

AboutCard::AboutCard(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), ui(std::make_unique<Ui::TfmAvtor>()) {
    initAboutResources();
    ui->setupUi(this);
    setObjectName(QStringLiteral("TfmAvtor"));
    setFixedSize(size());
    setAttribute(Qt::WA_QuitOnClose, false);
    keepOutOfTaskbar(this);
    connectHandlers();
}

AboutCard::~AboutCard() = default;

void AboutCard::setUpElements() {
    const QFont base = font();
    {
        QFont f = fontOfHeight(base, 19);
        ui->Label2->setFont(f);
        setTextColour(ui->Label2, kTeal);
    }
    {
        QFont f = base;
        f.setBold(true);
        ui->lnName->setFont(fontOfHeight(f, 21));
        setTextColour(ui->lnName, kGray);
    }
    for (QLabel* l : {ui->Label7, ui->Label1, ui->Label4, ui->Label9, ui->Label15})
        setTextColour(l, kYellow);
    {
        QFont f = base;
        f.setFamilies({QStringLiteral("Comic Sans MS"), QStringLiteral("Comic Neue"),
                       QStringLiteral("URW Gothic")});
        f.setBold(true);
        // 46 pixels is a hair more than the name's 45-pixel box: shrink to
        // the box, so the name is never cut.
        int pixels = 46;
        do
            ui->Label8->setFont(fontOfHeight(f, pixels--));
        while (pixels > 4 && ui->Label8->sizeHint().height() > ui->Label8->height());
        setTextColour(ui->Label8, kNavy);
    }
    for (QLabel* l : {static_cast<QLabel*>(ui->lbSite), static_cast<QLabel*>(ui->lMail)}) {
        QFont f = base;
        f.setUnderline(true);
        l->setFont(f);
        setTextColour(l, kBlue);
        l->installEventFilter(this);
    }
    // The texts size their labels, as the form's auto-sized labels do; the
    // name keeps its box.
    for (QLabel* l :
         {ui->Label2, ui->lnName, ui->Label7, ui->Label1, ui->Label4, ui->Label9, ui->Label15,
          static_cast<QLabel*>(ui->lbSite), static_cast<QLabel*>(ui->lMail)})
        l->adjustSize();
    ui->Label8->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    ui->Image2->setScaledContents(true);
    ui->Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const qreal ratio = pictureRatio();
    QPixmap illustration = transparentBitmap(QImage(ratio > 1.0 ? kIllustration2x : kIllustration));
    if (!illustration.isNull()) {
        illustration.setDevicePixelRatio(ratio);
        const QSize logical = illustration.deviceIndependentSize().toSize();
        const QSize fitted = fitProportionally(logical, ui->Image1->size());
        if (fitted != logical) {
            illustration =
                illustration.scaled(fitted * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            illustration.setDevicePixelRatio(ratio);
        }
        ui->Image1->setPixmap(illustration);
    }
}

void AboutCard::connectHandlers() {
    connect(ui->ClickImg, &ClickLabel::clicked, this, [this] { ClickImgClick(); });
    connect(ui->Image2, &ClickLabel::clicked, this, [this] { Image2Click(); });
    connect(ui->Image3, &ClickLabel::clicked, this, [this] { Image3Click(); });
    connect(ui->lbSite, &ClickLabel::clicked, this, [this] { lbSiteClick(); });
    connect(ui->lMail, &ClickLabel::clicked, this, [this] { lMailClick(); });
}

bool AboutCard::loadBackground(const QByteArray& jpeg) {
    const QImage picture = decodeJpeg(jpeg);
    if (picture.isNull()) {
        ui->Image2->setPixmap(QPixmap());
        return false;
    }
    QPixmap pixmap = QPixmap::fromImage(picture);
    // A picture twice the card's size is the sharp one for a scaled screen.
    if (picture.width() >= 2 * width() && pictureRatio() > 1.0)
        pixmap.setDevicePixelRatio(2.0);
    ui->Image2->setPixmap(pixmap);
    return true;
}

QString AboutCard::siteUrl() {
    return kSiteUrl;
}

QString AboutCard::mailAddress() {
    return kMail;
}

QSize AboutCard::fitProportionally(QSize picture, QSize box) {
    if (picture.isEmpty() || box.isEmpty())
        return picture;
    if (picture.width() <= box.width() && picture.height() <= box.height())
        return picture;
    return picture.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

QPixmap AboutCard::transparentBitmap(const QImage& bitmap) {
    if (bitmap.isNull())
        return {};
    QPixmap pixmap = QPixmap::fromImage(bitmap);
    const QColor key = bitmap.pixelColor(0, bitmap.height() - 1);
    pixmap.setMask(pixmap.createMaskFromColor(key, Qt::MaskInColor));
    return pixmap;
}

void AboutCard::FormShow() {
    // The card takes the place of the main window, hidden by now.
    if (m_main == nullptr)
        return;
    const QPoint place = m_main->pos();
    move(place);
    // A move to where Qt thinks the card is already (0,0 at the first
    // showing) reaches no window manager, which then places the card as it
    // likes: the place is asked for in so many words.
    if (QWindow* w = windowHandle(); w != nullptr && canPlaceWindows())
        w->setFramePosition(place);
}

void AboutCard::ClickImgClick() {
    hide();
    if (m_main != nullptr && m_guard != nullptr && m_showMain)
        m_guard->run(m_showMain);
}

void AboutCard::Image2Click() {
    // The main window stays hidden; the tray brings it back. With no tray to
    // come back from it waits minimised instead, as hiding does then, so the
    // program never becomes unreachable.
    hide();
    if (m_main != nullptr && !m_platform->isSystemTrayAvailable() && !m_main->isVisible())
        m_main->showMinimized();
}

void AboutCard::Image3Click() {
    // Never undone: the card is made once, so the bare picture stays for the
    // rest of the run.
    ui->Image2->raise();
}

void AboutCard::lbSiteClick() {
    if (m_main != nullptr)
        m_platform->openWithDefaultHandler(kSiteUrl);
}

void AboutCard::lMailClick() {
    if (m_main != nullptr)
        m_platform->openWithDefaultHandler(QStringLiteral("mailto:") + kMail);
}

void AboutCard::lbSiteMouseEnter() {
    setTextColour(ui->lbSite, kAqua);
}

void AboutCard::lbSiteMouseLeave() {
    setTextColour(ui->lbSite, kBlue);
}

void AboutCard::lMailMouseEnter() {
    setTextColour(ui->lMail, kAqua);
}

void AboutCard::lMailMouseLeave() {
    setTextColour(ui->lMail, kBlue);
}

void AboutCard::dress() {
    if (m_dressed)
        return;
    m_dressed = true;
    setUpElements();
    loadBackground(readResource(pictureRatio() > 1.0 ? kBackground2x : kBackground));
}

void AboutCard::showEvent(QShowEvent* event) {
    dress();
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void AboutCard::closeEvent(QCloseEvent* event) {
    // Closed by the window manager (Alt+F4, a taskbar's or pager's close):
    // the card gives way to the main window as a click on it does, so the
    // program is never left with no window and perhaps no tray to come back
    // from.
    const bool shown = isVisible();
    QWidget::closeEvent(event);
    if (shown && event->isAccepted())
        ClickImgClick();
}

bool AboutCard::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::Enter || type == QEvent::Leave) {
        const bool enter = type == QEvent::Enter;
        if (watched == ui->lbSite)
            enter ? lbSiteMouseEnter() : lbSiteMouseLeave();
        else if (watched == ui->lMail)
            enter ? lMailMouseEnter() : lMailMouseLeave();
    }
    return QWidget::eventFilter(watched, event);
}
