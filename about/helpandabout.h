#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QToolButton;
class QWidget;
class Services;
class AboutCard;

// The main window's two ways out of the editor: the user guide and the About
// card.
class HelpAndAbout final : public QObject {
public:
    struct Controls {
        QWidget* window; // the main window, hidden while the card shows
        QToolButton* helpButton;
        QToolButton* aboutButton;
    };

    // `hidePicker` hides the week-day picker along with the main window.
    HelpAndAbout(Services& services, const Controls& controls, std::function<void()> hidePicker,
                 QObject* parent = nullptr);

    // The About card, once it is made; null before and at the end.
    void attachAboutWindow(AboutCard* card) { m_aboutCard = card; }

    void sbHelpClick();
    void sbAboutClick();
    // <program folder>/help/help.htm
    QString helpFilePath() const;

private:
    Services& m_s;
    QWidget* const m_window;
    std::function<void()> m_hidePicker;
    AboutCard* m_aboutCard = nullptr;
};
