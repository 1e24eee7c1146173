#include "app/mainwindow.h"
#include "ui_mainwindow.h"

#include "about/aboutcard.h"
#include "about/helpandabout.h"
#include "alarm/alarmwindow.h"
#include "app/windowdrag.h"
#include "autostart/startupentry.h"
#include "chime/hourlychime.h"
#include "editor/taskeditor.h"
#include "editor/weekdaypicker.h"
#include "firing/firing.h"
#include "platform/instancelock.h"
#include "platform/platform.h"
#include "platform/shutdownsignals.h"
#include "platform/systemlog.h"
#include "platform/windowhints.h"
#include "scheduler/schedule.h"
#include "store/clock.h"
#include "store/daycount.h"
#include "store/keys.h"
#include "store/settingsfile.h"
#include "tasklist/tasklist.h"
#include "tray/tray.h"
#include "uicommon/handlerguard.h"
#include "uicommon/services.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QShowEvent>
#include <QTime>
#include <QToolButton>
#include <QWindow>

namespace {

const QString kCaption = QStringLiteral("Звонарька 2.5 by Korvel");

} // namespace

class MainWindow::Links final : public TrayWindowLink, public AlarmTaskActions {
public:
    explicit Links(MainWindow& w) : m_w(w) {}

    void FormShow() override { m_w.FormShow(); }
    void CloseAppClick() override { m_w.CloseAppClick(); }
    void leaveEditor() override {
        QWidget* list = m_w.ui->clbEvents;
        if (list->isEnabled() && list->isVisible())
            list->setFocus(Qt::OtherFocusReason);
    }
    void hideWeekPicker() override {
        if (m_w.m_weekPicker != nullptr)
            m_w.m_weekPicker->hide();
    }
    void switchOffTask(const QString& name) override { m_w.m_taskList->switchOffListedTask(name); }
    void deleteTask(const QString& name) override { m_w.m_taskList->deleteListedTask(name); }

private:
    MainWindow& m_w;
};

MainWindow::MainWindow(ShellContext context, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TfmTocsiner>()),
      m_guard(std::make_unique<HandlerGuard>([this](const QString& text) { showErrorBox(text); })),
      m_services(std::make_unique<Services>(context.platform, context.clock,
                                            std::move(context.formats), std::move(context.workDir),
                                            *m_guard)),
      m_links(std::make_unique<Links>(*this)) {
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
    // Coloured labels take their colour from the palette, not from a style
    // sheet: one style sheet would put the whole style-sheet engine between
    // the style and every one of these labels, costing start-up time and
    // memory for nothing but a text colour.
    const auto tint = [](QLabel* l, QColor c) {
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, c);
        l->setPalette(pal);
    };
    for (QLabel* l : {ui->lbEvName, ui->lbEvTime})
        tint(l, QColor(0x00, 0x80, 0x00));
    for (QLabel* l : {ui->lbDay, ui->Label13, ui->Label1, ui->Label8, ui->lbSort})
        tint(l, QColor(0x00, 0x80, 0x80));
    // The clock repaints every second while the window is shown. Filled with
    // the panel's own colour it paints alone, not the panel and picture under
    // it; at its fixed size a new time asks the panel for no new layout.
    ui->Label1->setAutoFillBackground(true);
    ui->Label1->setFixedSize(ui->Label1->size());
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
    ui->OnAirDate->setDisplayFormat(formats().shortDateFormat);
    ui->OnAirDate->setDate(daycount::toDate(clock().today()));
    {
        QFont f = ui->OnAirDate->font();
        f.setStretch(75);
        ui->OnAirDate->setFont(f);
    }
    ui->plAppCtrl->hide();
    // The editor's half with its buttons stays whole, however the window is
    // sized, by hand or from the settings file.
    setMinimumSize(ui->Bevel1->x(), ui->sbHelp->geometry().bottom() + 1);

    makeFeatures();
    connectHandlers();
    // The clock starts at the end of start-up; the boxes start-up raises
    // come after it.
    m_guard->holdBoxes(true);
    m_guard->run([this] { FormCreate(); });
    m_guard->holdBoxes(false);
}

MainWindow::~MainWindow() {
    m_guard->run([this] { FormDestroy(); });
    // The controls go now, while this is still a whole MainWindow: the one
    // holding the focus loses it as it is destroyed, and its exit handler
    // must meet the closed guard, not a half-destroyed window.
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

void MainWindow::showErrorBox(const QString& text) noexcept {
    // Ending never waits for a person: a session's logout must not hang on
    // a box nobody will click. The file stays as it was.
    if (m_shuttingDown || ShutdownSignals::requested()) {
        try {
            reportToSystemLog(text);
        } catch (...) {
            // Nowhere left to tell it.
        }
        return;
    }
    // A file that refuses every write would raise one box per key written
    // while the program starts: the first says it all.
    if (m_startingUp) {
        if (m_startupBoxShown)
            return;
        m_startupBoxShown = true;
    }
    try {
        platform().errorBox(this, text);
    } catch (...) {
        // The box itself failed: nothing more can be shown.
    }
}

SettingsFile* MainWindow::settings() const {
    return m_services->settingsIfOpen();
}

Schedule* MainWindow::schedule() const {
    return m_services->scheduleIfOpen();
}

Platform& MainWindow::platform() const {
    return m_services->platform();
}

const Clock& MainWindow::clock() const {
    return m_services->clock();
}

const RegionalFormats& MainWindow::formats() const {
    return m_services->formats();
}

TrayIcon* MainWindow::trayIcon() const {
    return m_tray->trayIcon();
}

QMenu* MainWindow::trayMenu() const {
    return m_tray->trayMenu();
}

void MainWindow::makeFeatures() {
    Services& s = *m_services;
    // Where the form's controls meet the features' names for them.
    m_tray = std::make_unique<Tray>(s, this, *m_links,
                                    Tray::Controls{
                                        .hideButton = ui->Ok,
                                        .stayOnTopBox = ui->cbStayOnTop,
                                        .startHiddenBox = ui->cbStartHide,
                                    });
    m_startupEntry = std::make_unique<StartupEntry>(s, StartupEntry::Controls{
                                                           .window = this,
                                                           .startWithSessionBox = ui->cbAutoLoad,
                                                       });
    m_chime = std::make_unique<HourlyChime>(s, HourlyChime::Controls{.chimeChoice = ui->cbSound});
    m_firing = std::make_unique<Firing>(s, *m_chime,
                                        Firing::Controls{
                                            .window = this,
                                            .taskList = ui->clbEvents,
                                            .taskNameBox = ui->evName,
                                            .timeLabel = ui->Label1,
                                            .dateLabel = ui->Label13,
                                            .recalcAllBox = ui->cbCalculate,
                                            .testButton = ui->sbTestEv,
                                            .recalcButton = ui->sbCalculate,
                                            .clockImage = ui->TimeImage,
                                            .scheduleViewButton = ui->Button1,
                                            .scheduleNames = ui->Memo1,
                                            .scheduleTimes = ui->Memo2,
                                            .scheduleSummary = ui->L10,
                                        });
    m_about = std::make_unique<HelpAndAbout>(s,
                                             HelpAndAbout::Controls{
                                                 .window = this,
                                                 .helpButton = ui->sbHelp,
                                                 .aboutButton = ui->sbAbout,
                                             },
                                             [this] { m_links->hideWeekPicker(); });
    m_taskList = std::make_unique<TaskList>(s, *m_firing,
                                            TaskList::Controls{
                                                .window = this,
                                                .list = ui->clbEvents,
                                                .nameBox = ui->evName,
                                                .saveButton = ui->sbSaveEvent,
                                                .newTaskButton = ui->sbNewEv,
                                                .sortLabel = ui->lbSort,
                                                .taskNameLabel = ui->lbEvName,
                                                .taskTimeLabel = ui->lbEvTime,
                                            });
    m_editor = std::make_unique<TaskEditor>(s, *m_taskList,
                                            TaskEditor::Controls{
                                                .window = this,
                                                .saveButton = ui->sbSaveEvent,
                                                .timeEdit = ui->edTime,
                                                .countdownBox = ui->cbHours,
                                                .actionGroup = ui->rgChoose,
                                                .programPanel = ui->plAppCtrl,
                                                .programPath = ui->edApp,
                                                .browseButton = ui->sbOpenDlg,
                                                .soundBox = ui->cbEvSound,
                                                .repeatUpDown = ui->udOnes,
                                                .repeatCount = ui->edOnes,
                                                .messageEdit = ui->edMsg,
                                                .repeatRuleGroup = ui->rgDays,
                                                .dateEdit = ui->OnAirDate,
                                                .dayCountEdit = ui->edDay,
                                                .weekDayLabel = ui->lbDay,
                                                .nameBox = ui->evName,
                                                .autoRecordBox = ui->cbARec,
                                                .taskList = ui->clbEvents,
                                            });
    m_taskList->setEditor(m_editor.get());
}

void MainWindow::connectHandlers() {
    HandlerGuard& guard = *m_guard;
    connect(ui->CloseApp, &QToolButton::clicked, this,
            guard.slot(this, &MainWindow::CloseAppClick));
    connect(ui->cbARec, &QCheckBox::toggled, this, guard.slot(this, &MainWindow::cbARecClick));
    connect(ui->LShow, &ClickLabel::clicked, this, guard.slot(this, &MainWindow::LShowClick));
    // The current task: the task list keeps it and paints it, the firing
    // restarts it on a recalculation.
    connect(m_taskList.get(), &TaskList::currentTaskChanged, m_firing.get(),
            &Firing::setCurrentTask);
    connect(m_firing.get(), &Firing::countdownsRecalculated, m_taskList.get(),
            &TaskList::showCurrentTask);
    // What the firing tells the editor and the alarm window. The alarm
    // window exists from start-up to the end; a main window alone (before
    // the others are made) still does its part of the firing.
    connect(m_firing.get(), &Firing::taskDateAdvanced, this,
            [this](const QString& name) { m_editor->followTaskDate(name); });
    connect(m_firing.get(), &Firing::dayBegan, this, [this] { m_editor->showTodaysWeekDay(); });
    connect(m_firing.get(), &Firing::alarm, this,
            [this](const QString& name, TaskAction action, const QString* message, bool show) {
                if (m_alarmWindow != nullptr)
                    m_alarmWindow->present(name, action, message, show);
            });
}

void MainWindow::attachWindows(AlarmWindow* alarm, AboutCard* about, WeekDayPicker* weekPicker) {
    m_alarmWindow = alarm;
    m_aboutCard = about;
    m_weekPicker = weekPicker;
    m_editor->attachWeekPicker(m_weekPicker);
    // The picker's FormCreate: it takes its place and pin from the settings.
    if (m_weekPicker != nullptr)
        m_weekPicker->attachEditor(m_editor.get(), m_guard.get());
    m_about->attachAboutWindow(m_aboutCard);
    if (m_aboutCard != nullptr)
        m_aboutCard->attachMainWindow(this, &platform(), m_guard.get(),
                                      [this] { m_tray->pmiShowClick(); });
    if (m_alarmWindow != nullptr)
        m_alarmWindow->attachTasks(m_links.get(), &platform(), m_guard.get());
    m_startingUp = false;
}

template <class F> void MainWindow::startupStep(F&& step) {
    // A refused write does not stop start-up: the box is shown and start-up
    // goes on with what was read, so the tasks are listed, the clock ticks
    // and the tray icon is there. A read-only settings file must not leave a
    // dead alarm clock.
    try {
        step();
    } catch (const AppError& e) {
        m_guard->showErrorBoxLater(e.message());
    }
}

void MainWindow::FormCreate() {
    // One copy per desktop: a second one ends before it reads or writes anything.
    m_instance = platform().claimInstance();
    if (!m_instance) {
        m_secondCopy = true;
        return;
    }
    setWindowTitle(kCaption);
    // The masked field holds the 24-hour form its mask allows, whatever the locale.
    ui->edTime->setText(daycount::toTime(clock().timeNow()).toString(QStringLiteral("HH:mm:ss")));
    ui->clbEvents->setToolTip(QStringLiteral("Задания, отмеченные галочкой, будут выполнены.\n"
                                             "Ближайшее активное задание выделено."));
    ui->clbEvents->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // The settings file, and the schedule over it.
    m_services->open(chooseSettingsPath(m_services->workDir(), platform().userName()));
    // Whoever made the schedule switch a task off, the list shows it.
    m_services->schedule().tasksSwitchedOff = [this] { m_taskList->showActiving(); };
    SettingsFile& settings = m_services->settings();
    // The first write of a new file, so "Main" becomes its first section.
    move(x(), settings.ReadInteger(keys::MainSection, keys::Top, keys::DefaultTop));
    startupStep([&] { settings.WriteInteger(keys::MainSection, keys::Top, y()); });
    // Not visible yet: FormResize writes nothing.
    move(settings.ReadInteger(keys::MainSection, keys::Left, keys::DefaultLeft), y());
    const int height = settings.ReadInteger(keys::MainSection, keys::Height, keys::DefaultHeight);
    const int width = settings.ReadInteger(keys::MainSection, keys::Width, keys::DefaultWidth);
    // Made usable on the screens there are now: a size of 0 would never be
    // mapped, a huge one would take the memory of the machine, and a place
    // off every screen would leave the window out of reach. The file keeps
    // what it holds until the shut-down or a resize writes the real values.
    const QRect usable = fitToScreens(QRect(pos(), QSize(width, height)), minimumSize());
    if (canPlaceWindows()) {
        move(usable.topLeft());
        m_framePlace = usable.topLeft();
    }
    setOuterSize(usable.width(), usable.height());
    // Out of range leaves no selection; no handler runs.
    const int sound = settings.ReadInteger(keys::MainSection, keys::Sound, keys::DefaultSound);
    ui->cbSound->setCurrentIndex(sound >= 0 && sound < ui->cbSound->count() ? sound : -1);
    // A changed box runs its own handler, which writes the key back.
    ui->cbARec->setChecked(settings.ReadBool(keys::MainSection, keys::AutoRec, false));
    ui->cbStayOnTop->setChecked(settings.ReadBool(keys::MainSection, keys::StayOnTop, false));
    ui->cbStartHide->setChecked(settings.ReadBool(keys::MainSection, keys::HideOnStart, false));
    ui->cbAutoLoad->setChecked(settings.ReadBool(keys::MainSection, keys::Autoload, false));
    // Brings the entry in line with the box, whatever its state.
    startupStep([this] { m_startupEntry->cbAutoLoadClick(); });
    m_startHidden = ui->cbStartHide->isChecked();
    // The stay-on-top box may have added it already; a second add changes nothing.
    m_tray->CreateTrayIcon();
    startupStep([this] { m_services->schedule().RecalcSchedule(); });
    m_taskList->setCurrentTaskName(QString());
    startupStep([this] { m_taskList->ApplySavedSort(); });
    m_firing->startClock();
    if (ui->cbSound->currentIndex() > 0)
        m_chime->ArmHourlyChime();
    ui->Label13->setText(formats().formatDate(clock().today()));
}

void MainWindow::beginShutdown() {
    m_shuttingDown = true;
}

void MainWindow::FormDestroy() {
    m_shuttingDown = true;
    // No handler runs from here on (see HandlerGuard).
    m_guard->close();
    // Start-up stopped at its first step: nothing was opened.
    if (windowTitle().isEmpty())
        return;
    m_firing->clockTimer().stop();
    m_chime->stop();
    m_tray->DeleteTrayIcon();
    storePlace();
    m_services->close();
    m_instance.reset();
}

void MainWindow::storePlace() {
    // Also when hidden: the position it had when it was last shown. A
    // session that cannot report positions keeps the stored ones.
    SettingsFile* settings = m_services->settingsIfOpen();
    if (settings != nullptr && canPlaceWindows()) {
        settings->WriteInteger(keys::MainSection, keys::Left, x());
        settings->WriteInteger(keys::MainSection, keys::Top, y());
    }
}

void MainWindow::displayLost() {
    if (m_shuttingDown || windowTitle().isEmpty())
        return;
    m_shuttingDown = true;
    // What the shut-down stores, from what the windows last knew of
    // themselves: nothing here may ask the display.
    m_guard->run([this] { m_editor->SaveWeekSets(); });
    m_guard->run([this] { storePlace(); });
    m_guard->close();
    m_services->close();
}

void MainWindow::showAtStart() {
    if (m_secondCopy)
        return;
    if (!m_startHidden) {
        show();
        return;
    }
    // Started hidden: only the tray icon. With no tray to come back from, a
    // minimised window instead, so the program is never out of reach.
    if (!platform().isSystemTrayAvailable()) {
        showIconic(this);
    }
}

void MainWindow::FormShow() {
    if (m_weekPicker != nullptr && m_weekPicker->isPinned())
        m_weekPicker->show();
}

void MainWindow::FormResize() {
    if (!isVisible() || !m_services->isOpen() || m_adjustingFrame)
        return;
    const QRect outer = frameGeometry();
    m_services->settings().WriteInteger(keys::MainSection, keys::Height, outer.height());
    m_services->settings().WriteInteger(keys::MainSection, keys::Width, outer.width());
}

void MainWindow::FormMouseDown(Qt::MouseButton button, QPoint pos) {
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

void MainWindow::CloseAppClick() {
    close();
}

void MainWindow::cbARecClick() {
    m_services->settings().WriteBool(keys::MainSection, keys::AutoRec, ui->cbARec->isChecked());
}

void MainWindow::LShowClick() {
    // The window's own flags, not what is on screen: the view may lie below
    // the window's bottom edge.
    const bool show = ui->Memo1->isHidden();
    for (QWidget* w : {static_cast<QWidget*>(ui->Memo1), static_cast<QWidget*>(ui->Memo2),
                       static_cast<QWidget*>(ui->Button1), static_cast<QWidget*>(ui->L10)})
        w->setVisible(show);
}

void MainWindow::setOuterSize(int width, int height) {
    m_outerSize = QSize(width, height);
    const QSize frame = frameGeometry().size() - geometry().size();
    resize(width - frame.width(), height - frame.height());
    // Before the window is first mapped its frame is unknown; the size is
    // corrected once the window manager has framed it.
    m_outerSizePending = !testAttribute(Qt::WA_WState_Created) || frame.isNull();
}

void MainWindow::applyPendingOuterSize() {
    // A window mapped minimised waits: resizing it now would map it normal.
    if (!m_outerSizePending || !isVisible() || isMinimized())
        return;
    const QSize frame = frameGeometry().size() - geometry().size();
    if (frame.isNull())
        return;
    m_outerSizePending = false;
    // A box shown while the program started (a settings file that refuses
    // writes) makes the native window before its frame is known, and Qt then
    // puts the client area where the frame was asked for: at 0,0 the title
    // bar is above the screen. Now that the frame is known, the move lands
    // the frame where the settings file says.
    if (m_framePlace && frameGeometry().topLeft() != *m_framePlace)
        move(*m_framePlace);
    m_framePlace.reset();
    const QSize client = m_outerSize - frame;
    if (client != size()) {
        // Reaching the stored size is no resize of the user's: nothing to store.
        m_adjustingFrame = true;
        resize(client);
        m_adjustingFrame = false;
    }
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        // A window started minimised for want of a tray counts as hidden: its
        // showing comes with pmiShowClick.
        if (!isMinimized())
            m_guard->run([this] { FormShow(); });
    }
    // Also when a window mapped minimised is first restored. Under a window
    // manager the frame extents arrive after mapping.
    if (m_outerSizePending) {
        m_guard->run([this] { applyPendingOuterSize(); });
        QTimer::singleShot(300, this, m_guard->slot(this, &MainWindow::applyPendingOuterSize));
    }
}

void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    // Restored from the taskbar (or the window manager's own menu): the
    // window comes back as from the tray, with its pinned picker.
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if ((change->oldState() & Qt::WindowMinimized) && !isMinimized() && isVisible()) {
        // Shown again after a later hide (the About card), it comes back normal.
        forgetIconicState(this);
        m_guard->run([this] { FormShow(); });
    }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_guard->run([this] { FormResize(); });
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    m_guard->run([this] { applyPendingOuterSize(); });
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    QWidget::mousePressEvent(event);
    FormMouseDown(event->button(), event->position().toPoint());
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the program, whatever else is open.
    event->accept();
    QCoreApplication::quit();
}
