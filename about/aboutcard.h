#pragma once

#include <QByteArray>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

namespace Ui {
class TfmAvtor;
}

class HandlerGuard;
class Platform;

// The About window: a borderless picture card, created hidden at start-up and
// afterwards only shown and hidden. Its elements lie in the form from back to
// front; the click layer ClickImg covers all the text, so a click anywhere
// but on the two links and the hot spot is the click layer's.
class AboutCard final : public QWidget {
    Q_OBJECT
public:
    explicit AboutCard(QWidget* parent = nullptr);
    ~AboutCard() override;

    // The main window the card stands in for, the platform that opens its
    // links, the guard its handlers run under and the way back to the main
    // window (the tray menu's "Показать"); a null window unties it.
    void attachMainWindow(QWidget* main, Platform* platform, HandlerGuard* guard,
                          std::function<void()> showMain) {
        m_main = main;
        m_platform = platform;
        m_guard = guard;
        m_showMain = std::move(showMain);
    }

    // Puts a JPEG picture behind the card. A damaged one leaves the card
    // without a background; returns whether a picture is shown.
    bool loadBackground(const QByteArray& jpeg);

    // Sets the card's fonts, colours and pictures, once. It waits for the
    // card's first showing: most runs never show it, and its decoded pictures
    // and fonts would otherwise weigh on the program's memory all along.
    void dress();

    void FormShow();
    void ClickImgClick();
    void Image2Click();
    void Image3Click();
    void lbSiteClick();
    void lMailClick();
    void lbSiteMouseEnter();
    void lbSiteMouseLeave();
    void lMailMouseEnter();
    void lMailMouseLeave();

    // The maker's addresses behind the two links.
    static QString siteUrl();
    static QString mailAddress();

    // A picture larger than its box shrinks to fit, keeping its proportions;
    // a smaller one keeps its size.
    static QSize fitProportionally(QSize picture, QSize box);
    // The illustration with its transparent colour (that of its bottom-left
    // pixel) cut out.
    static QPixmap transparentBitmap(const QImage& bitmap);

    // The card's elements by their object names, to look at.
    const Ui::TfmAvtor& form() const { return *ui; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setUpElements();
    void connectHandlers();

    QWidget* m_main = nullptr;
    Platform* m_platform = nullptr;
    HandlerGuard* m_guard = nullptr;
    std::function<void()> m_showMain;
    bool m_dressed = false;

    std::unique_ptr<Ui::TfmAvtor> ui;
};
