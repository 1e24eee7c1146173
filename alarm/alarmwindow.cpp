#include "alarm/alarmwindow.h"
#include "ui_alarmwindow.h"

#include "platform/platform.h"
#include "platform/windowhints.h"
#include "uicommon/handlerguard.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>

namespace {

constexpr int kCountdownStart = 15;

QString countdownText(int seconds) {
    return QStringLiteral("Комп будет выключен через ") + QString::number(seconds) +
           QStringLiteral(" сек...");
}

} // namespace

AlarmWindow::AlarmWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      ui(std::make_unique<Ui::TfmMsg>()) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("TfmMsg"));
    setFixedSize(size());
    m_formSize = size();
    m_formMsgX = ui->lMsg->x();
    m_formMsgHeight = ui->lMsg->height();
    for (QWidget* w : {static_cast<QWidget*>(ui->cbDeactive), static_cast<QWidget*>(ui->cbDel),
                       static_cast<QWidget*>(ui->sbOk)})
        m_formBelowMsg.append({w, w->y()});
    setAttribute(Qt::WA_QuitOnClose, false);
    // The main window's is the program's one taskbar entry.
    keepOutOfTaskbar(this);
    // An alarm is seen on whichever desktop the user is on.
    keepOnEveryDesktop(this);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r = rect();
        r.moveCenter(screen->geometry().center());
        move(r.topLeft());
    }
    // A flat button with blue text, as the main window's.
    QPalette pal = ui->sbOk->palette();
    pal.setColor(QPalette::ButtonText, Qt::blue);
    ui->sbOk->setPalette(pal);
    ui->lWarn->hide();
    // The form's text format drops a caption of blanks alone.
    ui->lMsg->setText(QString(13, u' '));

    m_keepInFront.setInterval(100);
    m_countdown.setInterval(1000);
    connect(&m_keepInFront, &QTimer::timeout, this, [this] { guarded([this] { Timer1Timer(); }); });
    connect(&m_countdown, &QTimer::timeout, this, [this] { guarded([this] { Timer2Timer(); }); });
    connect(ui->sbOk, &QToolButton::clicked, this, [this] { guarded([this] { sbOkClick(); }); });
}

AlarmWindow::~AlarmWindow() = default;

template <class F> void AlarmWindow::guarded(F&& handler) noexcept {
    if (m_guard != nullptr) {
        m_guard->run(std::forward<F>(handler));
        return;
    }
    try {
        handler();
    } catch (...) {
        // No main window to show the error box: nothing more can be done.
    }
}

void AlarmWindow::setFiredTask(const QString& taskName, TaskAction action) {
    setWindowTitle(kMsgCaptionPrefix.toString() + taskName);
    m_action = action;
}

void AlarmWindow::setMessage(const QString& text) {
    ui->lMsg->setText(text);
    ui->lMsg->adjustSize();
    // A second alarm's message while the window is up: it is placed as a
    // show would place it, or a long one would run off the window.
    if (isVisible())
        placeMessage();
}

void AlarmWindow::showAlarm() {
    // From hidden, showing runs the show sequence; shown already, nothing of
    // it runs again.
    show();
    raise();
    activateWindow();
    // Where the window system keeps it from the front (Wayland's activation
    // rules), the window asks for attention; one that got the focus drops it.
    QApplication::alert(this);
}

void AlarmWindow::present(const QString& taskName, TaskAction action, const QString* message,
                          bool show) {
    // A firing that shows nothing (a restart, a program opened without a
    // message) has nothing to say on the window of another task.
    if (!show)
        return;
    const Pending alarm{taskName, action, message != nullptr,
                        message != nullptr ? *message : QString()};
    if (!holdsAnAlarm()) {
        showFresh(alarm);
        return;
    }
    // A switch-off does not wait behind a message nobody may be there to
    // read: it counts down now, and the message comes back after it.
    if (action == TaskAction::SwitchOff && !m_switchOff) {
        m_pending.prepend(m_current);
        showFresh(alarm);
        return;
    }
    // A task that rings again while its alarm is on screen or waits (a
    // short repeating countdown while the user is away) has nothing new to
    // say: one alarm of it is enough to answer.
    const auto same = [&alarm](const Pending& p) {
        return p.task == alarm.task && p.action == alarm.action &&
               p.hasMessage == alarm.hasMessage && p.message == alarm.message;
    };
    if (same(m_current) || std::any_of(m_pending.cbegin(), m_pending.cend(), same))
        return;
    m_pending.append(alarm);
}

void AlarmWindow::showFresh(const Pending& alarm) {
    // Shown, it is a countdown that ran out or a message giving way: from
    // hidden, the show sets up mode, options and countdown afresh.
    if (isVisible()) {
        m_countdown.stop();
        hide();
    }
    m_current = alarm;
    setFiredTask(alarm.task, alarm.action);
    if (alarm.hasMessage)
        setMessage(alarm.message);
    showAlarm();
}

void AlarmWindow::presentPending() {
    if (m_pending.isEmpty() || holdsAnAlarm())
        return;
    showFresh(m_pending.takeFirst());
}

QString AlarmWindow::firedTaskName() const {
    // The whole rest of the caption: a name cut short could name another task.
    return windowTitle().mid(kMsgCaptionPrefix.size());
}

int AlarmWindow::messageLeft(int outerWidth, int chars) {
    // Twice the exact left edge, W - 6n, is a whole number; halve it, and on
    // a half take the even neighbour.
    const long long twice = static_cast<long long>(outerWidth) - 6LL * chars;
    long long half = twice / 2;
    if (twice % 2 != 0) {
        // Division truncated towards zero: step down to the floor first.
        if (twice < 0)
            --half;
        if (half % 2 != 0)
            ++half;
    }
    return static_cast<int>(half);
}

void AlarmWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        guarded([this] { FormShow(); });
}

void AlarmWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        guarded([this] { FormHide(); });
}

void AlarmWindow::FormShow() {
    ui->cbDeactive->setChecked(false);
    ui->cbDel->setChecked(false);
    placeMessage();
    m_keepInFront.start();
    CountdownSeconds = kCountdownStart;
    // Decided once per show from hidden.
    m_switchOff = false;
    if (m_action == TaskAction::SwitchOff) {
        startSwitchOffMode();
    } else {
        ui->lMsg->show();
        ui->lWarn->hide();
        ui->sbOk->setText(QStringLiteral("OK"));
    }
}

void AlarmWindow::restoreFormLayout() {
    ui->lMsg->setWordWrap(false);
    ui->lMsg->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (const auto& [w, y] : std::as_const(m_formBelowMsg))
        w->move(w->x(), y);
    setFixedSize(m_formSize);
}

void AlarmWindow::placeMessage() {
    restoreFormLayout();
    // Characters, not UTF-16 units: a character outside the BMP counts once.
    ui->lMsg->adjustSize();
    const int chars = static_cast<int>(ui->lMsg->text().toUcs4().size());
    const int left = messageLeft(frameGeometry().width(), chars);
    const int margin = m_formMsgX;
    if (left >= 0 && left + ui->lMsg->width() <= width()) {
        ui->lMsg->move(left, ui->lMsg->y());
        return;
    }
    // The rule counts six pixels a character; a longer message would run off
    // both edges of the window, and the message is what the alarm is for: it
    // is broken into lines between the form's margins instead, and what lies
    // below moves down with the extra lines.
    ui->lMsg->setWordWrap(true);
    ui->lMsg->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    const int width = m_formSize.width() - 2 * margin;
    const int height = qMax(m_formMsgHeight, ui->lMsg->heightForWidth(width));
    ui->lMsg->setGeometry(margin, ui->lMsg->y(), width, height);
    const int extra = height - m_formMsgHeight;
    for (const auto& [w, y] : std::as_const(m_formBelowMsg))
        w->move(w->x(), y + extra);
    setFixedSize(m_formSize.width(), m_formSize.height() + extra);
}

void AlarmWindow::startSwitchOffMode() {
    m_switchOff = true;
    // The countdown's line replaces the message's, so the form's own layout.
    restoreFormLayout();
    CountdownSeconds = kCountdownStart;
    // The countdown takes the message's place on its line.
    ui->lMsg->hide();
    ui->lWarn->show();
    ui->lWarn->setText(countdownText(kCountdownStart));
    m_countdown.start();
    ui->sbOk->setText(QStringLiteral("Отмена!"));
}

void AlarmWindow::closeEvent(QCloseEvent* event) {
    // The close box cancels a countdown as the button does: a switch-off
    // never runs on behind a window the user has put away. The options are
    // the button's alone.
    m_countdown.stop();
    QWidget::closeEvent(event);
    if (event->isAccepted())
        QTimer::singleShot(0, this, [this] { guarded([this] { presentPending(); }); });
}

void AlarmWindow::FormHide() {
    m_keepInFront.stop();
}

void AlarmWindow::Timer1Timer() {
    // Asking again while it is in front only makes the window manager flicker.
    if (isActiveWindow())
        return;
    raise();
    activateWindow();
}

void AlarmWindow::Timer2Timer() {
    if (CountdownSeconds > 0)
        --CountdownSeconds;
    ui->lWarn->setText(countdownText(CountdownSeconds));
    // The window stays as it is, with the zero count, until the session
    // ends; should it not, the alarms that wait come next.
    if (CountdownSeconds == 0) {
        m_countdown.stop();
        if (m_platform != nullptr)
            m_platform->powerOff();
        if (!m_pending.isEmpty())
            QTimer::singleShot(0, this, [this] { guarded([this] { presentPending(); }); });
    }
}

void AlarmWindow::sbOkClick() {
    m_countdown.stop();
    hide();
    if (m_tasks == nullptr) {
        presentPending();
        return;
    }
    const QString name = firedTaskName();
    // The steps of clbEventsClickCheck, on the fired task's row.
    if (ui->cbDeactive->isChecked())
        m_tasks->switchOffTask(name);
    // A task no longer listed is left alone, and so is the selection.
    if (ui->cbDel->isChecked())
        m_tasks->deleteTask(name);
    // The alarms that came while the countdown ran.
    presentPending();
}
