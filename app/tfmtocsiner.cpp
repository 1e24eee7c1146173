#include "tfmtocsiner.h"
#include "ui_tfmtocsiner.h"

#include "clock.h"
#include "daycount.h"
#include "keys.h"
#include "platform.h"
#include "schedule.h"
#include "settingsfile.h"
#include "tfmweek.h"
#include "windowdrag.h"
#include "windowhints.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QShowEvent>
#include <QTime>
#include <QToolButton>
#include <QWindow>

namespace {

const QString kCaption = QStringLiteral("Звонарька 2.5 by Korvel");

} // namespace

TfmTocsiner::TfmTocsiner(ShellContext context, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TfmTocsiner>()), m_platform(context.platform),
      m_clock(context.clock), m_formats(std::move(context.formats)),
      m_workDir(std::move(context.workDir)) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("TfmTocsiner"));

    // Speed buttons: flat, with blue text.
    for (QToolButton* b : findChildren<QToolButton*>()) {
        if (b->parent() == ui->udOnes)
            continue;
        QPalette pal = b->palette();
        pal.setColor(QPalette::ButtonText, Qt::blue);
        b->setPalette(pal);
    }
    ui->clbEvents->setFlow(QListView::TopToBottom);
    ui->clbEvents->setWrapping(true);
    ui->clbEvents->setResizeMode(QListView::Adjust);
    ui->clbEvents->setGridSize(QSize((ui->clbEvents->width() - 4) / 2, 16));
    // The clock face's labels let the double click through to the picture.
    // Its 48 pixels hold a four-digit year and the longest week-day names
    // only in a narrower cut of the window's font.
    for (QLabel* l : {ui->Label11, ui->lbDay, ui->Label13, ui->Label12, ui->Label1}) {
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        QFont f = l->font();
        f.setStretch(l == ui->lbDay ? 72 : 85);
        l->setFont(f);
    }
    // The date picker shows the user's short date, today until a task is loaded.
    ui->OnAirDate->setDisplayFormat(m_formats.shortDateFormat);
    ui->OnAirDate->setDate(daycount::toDate(m_clock.today()));
    {
        QFont f = ui->OnAirDate->font();
        f.setStretch(75);
        ui->OnAirDate->setFont(f);
    }
    ui->plAppCtrl->hide();

    Timer1.setInterval(1000);
    Timer2.setInterval(3590000);

    buildTrayMenu();
    connectHandlers();
    guarded([this] { FormCreate(); });
}

TfmTocsiner::~TfmTocsiner() {
    guarded([this] { FormDestroy(); });
    // The controls go now, while this is still a whole TfmTocsiner: the one
    // holding the focus loses it as it is destroyed, and its exit handler
    // must meet the closed gate of guarded(), not a half-destroyed window.
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

void TfmTocsiner::showErrorBox(const QString& text) noexcept {
    // A file that refuses every write would raise one box per key written
    // while the program starts: the first says it all.
    if (m_startingUp) {
        if (m_startupBoxShown)
            return;
        m_startupBoxShown = true;
    }
    try {
        m_platform.errorBox(this, text);
    } catch (...) {
        // The box itself failed: nothing more can be shown.
    }
}

void TfmTocsiner::connectHandlers() {
    connect(ui->CloseApp, &QToolButton::clicked, this,
            [this] { guarded([this] { CloseAppClick(); }); });
    connect(ui->Ok, &QToolButton::clicked, this, [this] { guarded([this] { OkClick(); }); });
    connect(ui->cbARec, &QCheckBox::toggled, this, [this] { guarded([this] { cbARecClick(); }); });
    connect(ui->cbStayOnTop, &QCheckBox::toggled, this,
            [this] { guarded([this] { cbStayOnTopClick(); }); });
    connect(ui->cbStartHide, &QCheckBox::toggled, this,
            [this] { guarded([this] { cbStartHideClick(); }); });
    connect(ui->cbAutoLoad, &QCheckBox::toggled, this,
            [this] { guarded([this] { cbAutoLoadClick(); }); });
    connect(ui->LShow, &ClickLabel::clicked, this, [this] { guarded([this] { LShowClick(); }); });
    connect(&Timer1, &QTimer::timeout, this, [this] { clockTick(); });
    // A drop-down's handler runs for the user's choices only, not for start-up's.
    connect(ui->cbSound, &QComboBox::activated, this,
            [this] { guarded([this] { cbSoundChange(); }); });
    connect(&Timer2, &QTimer::timeout, this, [this] { guarded([this] { Timer2Timer(); }); });
    connectFiringHandlers();
    connectAboutHandlers();
    connectEditor();
    connectTaskList();
}

void TfmTocsiner::attachWindows(TfmMsg* msg, TfmAvtor* avtor, TfmWeek* week) {
    fmMsg = msg;
    fmAvtor = avtor;
    fmWeek = week;
    // The picker's FormCreate: it takes its place and pin from the settings.
    if (fmWeek != nullptr)
        fmWeek->attachMain(this);
    attachAboutWindow();
    attachAlarmWindow();
    m_startingUp = false;
}

template <class F> void TfmTocsiner::startupStep(F&& step) {
    // A refused write does not stop start-up: the box is shown and start-up
    // goes on with what was read, so the tasks are listed, the clock ticks
    // and the tray icon is there. A read-only settings file must not leave a
    // dead alarm clock.
    try {
        step();
    } catch (const AppError& e) {
        showErrorBox(e.message());
    }
}

void TfmTocsiner::FormCreate() {
    // 1. One copy per desktop: a second one ends before it reads or writes anything.
    m_instance = m_platform.claimInstance();
    if (!m_instance) {
        m_secondCopy = true;
        return;
    }
    // 2.
    setWindowTitle(kCaption);
    // 3. The masked field holds the 24-hour form its mask allows, whatever the locale.
    ui->edTime->setText(daycount::toTime(m_clock.timeNow()).toString(QStringLiteral("HH:mm:ss")));
    // 4.
    ui->clbEvents->setToolTip(QStringLiteral("Задания, отмеченные галочкой, будут выполнены.\n"
                                             "Ближайшее активное задание выделено."));
    ui->clbEvents->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // 5, 6.
    m_settings = std::make_unique<SettingsFile>(
        chooseSettingsPath(m_workDir, m_platform.userName()), m_formats, m_clock);
    // 7. The schedule owns the section list and the schedule table.
    m_schedule = std::make_unique<Schedule>(*m_settings, m_clock);
    // 8. The first write of a new file, so "Main" becomes its first section.
    move(x(), m_settings->ReadInteger(keys::MainSection, keys::Top, keys::DefaultTop));
    startupStep([this] { m_settings->WriteInteger(keys::MainSection, keys::Top, y()); });
    // 9. Not visible yet: FormResize writes nothing.
    move(m_settings->ReadInteger(keys::MainSection, keys::Left, keys::DefaultLeft), y());
    const int height =
        m_settings->ReadInteger(keys::MainSection, keys::Height, keys::DefaultHeight);
    const int width = m_settings->ReadInteger(keys::MainSection, keys::Width, keys::DefaultWidth);
    setOuterSize(width, height);
    // 10. Out of range leaves no selection; no handler runs.
    const int sound = m_settings->ReadInteger(keys::MainSection, keys::Sound, keys::DefaultSound);
    ui->cbSound->setCurrentIndex(sound >= 0 && sound < ui->cbSound->count() ? sound : -1);
    // 11-14. A changed box runs its own handler, which writes the key back.
    ui->cbARec->setChecked(m_settings->ReadBool(keys::MainSection, keys::AutoRec, false));
    ui->cbStayOnTop->setChecked(m_settings->ReadBool(keys::MainSection, keys::StayOnTop, false));
    ui->cbStartHide->setChecked(m_settings->ReadBool(keys::MainSection, keys::HideOnStart, false));
    ui->cbAutoLoad->setChecked(m_settings->ReadBool(keys::MainSection, keys::Autoload, false));
    // 15. Brings the entry in line with the box, whatever its state.
    startupStep([this] { cbAutoLoadClick(); });
    // 16.
    m_startHidden = ui->cbStartHide->isChecked();
    // 17. A second add (after step 12) changes nothing.
    CreateTrayIcon();
    // 18.
    startupStep([this] { m_schedule->RecalcSchedule(); });
    // 19.
    CurrentTaskName.clear();
    // 20.
    startupStep([this] { ApplySavedSort(); });
    // 21.
    startClock();
    if (ui->cbSound->currentIndex() > 0)
        ArmHourlyChime();
    ui->Label13->setText(m_formats.formatDate(m_clock.today()));
}

void TfmTocsiner::FormDestroy() {
    if (m_destroyed)
        return;
    m_destroyed = true;
    // 1. Start-up stopped at its first step: nothing was opened.
    if (windowTitle().isEmpty())
        return;
    Timer1.stop();
    Timer2.stop();
    // 2.
    DeleteTrayIcon();
    // 3. Also when hidden: the position it had when it was last shown. A
    // session that cannot report positions keeps the stored ones.
    if (m_settings && canPlaceWindows()) {
        m_settings->WriteInteger(keys::MainSection, keys::Left, x());
        m_settings->WriteInteger(keys::MainSection, keys::Top, y());
    }
    // 4.
    m_schedule.reset();
    m_settings.reset();
    m_instance.reset();
}

void TfmTocsiner::showAtStart() {
    if (m_secondCopy)
        return;
    if (!m_startHidden) {
        show();
        return;
    }
    // Started hidden: only the tray icon. With no tray to come back from, a
    // minimised window instead, so the program is never out of reach.
    if (!m_platform.isSystemTrayAvailable()) {
        showIconic(this);
    }
}

void TfmTocsiner::FormShow() {
    if (fmWeek != nullptr && fmWeek->isPinned())
        fmWeek->show();
}

void TfmTocsiner::FormResize() {
    if (!isVisible() || !m_settings || m_adjustingFrame)
        return;
    const QRect outer = frameGeometry();
    m_settings->WriteInteger(keys::MainSection, keys::Height, outer.height());
    m_settings->WriteInteger(keys::MainSection, keys::Width, outer.width());
}

void TfmTocsiner::FormMouseDown(Qt::MouseButton button, QPoint pos) {
    // Only the window's own background: a press on a control is the control's.
    if (childAt(pos) != nullptr)
        return;
    ++m_moveRequests;
    // The window manager's move follows the left button only; other buttons
    // drag the window by hand, except on Wayland, where only the compositor
    // may move a window and takes any button.
    if (button != Qt::LeftButton && canPlaceWindows()) {
        WindowDrag::start(this, button, mapToGlobal(pos));
        return;
    }
    if (QWindow* w = windowHandle())
        w->startSystemMove();
}

void TfmTocsiner::CloseAppClick() {
    close();
}

void TfmTocsiner::cbARecClick() {
    m_settings->WriteBool(keys::MainSection, keys::AutoRec, ui->cbARec->isChecked());
}

void TfmTocsiner::LShowClick() {
    // The window's own flags, not what is on screen: the view may lie below
    // the window's bottom edge.
    const bool show = ui->Memo1->isHidden();
    for (QWidget* w : {static_cast<QWidget*>(ui->Memo1), static_cast<QWidget*>(ui->Memo2),
                       static_cast<QWidget*>(ui->Button1), static_cast<QWidget*>(ui->L10)})
        w->setVisible(show);
}

void TfmTocsiner::setOuterSize(int width, int height) {
    m_outerSize = QSize(width, height);
    const QSize frame = frameGeometry().size() - geometry().size();
    resize(width - frame.width(), height - frame.height());
    // Before the window is first mapped its frame is unknown; the size is
    // corrected once the window manager has framed it.
    m_outerSizePending = !testAttribute(Qt::WA_WState_Created) || frame.isNull();
}

void TfmTocsiner::applyPendingOuterSize() {
    // A window mapped minimised waits: resizing it now would map it normal.
    if (!m_outerSizePending || !isVisible() || isMinimized())
        return;
    const QSize frame = frameGeometry().size() - geometry().size();
    if (frame.isNull())
        return;
    m_outerSizePending = false;
    const QSize client = m_outerSize - frame;
    if (client != size()) {
        // Reaching the stored size is no resize of the user's: nothing to store.
        m_adjustingFrame = true;
        resize(client);
        m_adjustingFrame = false;
    }
}

void TfmTocsiner::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        // A window started minimised for want of a tray counts as hidden: its
        // showing comes with pmiShowClick.
        if (!isMinimized())
            guarded([this] { FormShow(); });
    }
    // Also when a window mapped minimised is first restored. Under a window
    // manager the frame extents arrive after mapping.
    if (m_outerSizePending) {
        guarded([this] { applyPendingOuterSize(); });
        QTimer::singleShot(300, this, [this] { guarded([this] { applyPendingOuterSize(); }); });
    }
}

void TfmTocsiner::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    guarded([this] { FormResize(); });
}

void TfmTocsiner::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    guarded([this] { applyPendingOuterSize(); });
}

void TfmTocsiner::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    FormMouseDown(event->button(), event->position().toPoint());
}

void TfmTocsiner::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the program, whatever else is open.
    event->accept();
    QCoreApplication::quit();
}
