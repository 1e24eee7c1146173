#include "editor/weekdaypicker.h"
#include "ui_weekdaypicker.h"

#include "editor/taskeditor.h"
#include "platform/windowhints.h"
#include "uicommon/handlerguard.h"

#include <QApplication>
#include <QListWidgetItem>

WeekDayPicker::WeekDayPicker(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      ui(std::make_unique<Ui::TfmWeek>()) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("TfmWeek"));
    // Fixed single border: the client area of the design, not resizable.
    setFixedSize(size());
    // Closing hides it; the program ends only with the main window.
    setAttribute(Qt::WA_QuitOnClose, false);
    // The main window's is the program's one taskbar entry.
    keepOutOfTaskbar(this);
    // Loading a week-day task shows it beside the editor; the keyboard stays
    // where the user works.
    setAttribute(Qt::WA_ShowWithoutActivating);
    // Seven rows of 13 pixels fill the list's 94 without a scroll bar, as
    // the design has them; the style's own rows are taller.
    for (int i = 0; i < ui->clbWeek->count(); ++i)
        ui->clbWeek->item(i)->setSizeHint(QSize(ui->clbWeek->width() - 4, 13));
}

QListWidget* WeekDayPicker::dayList() const {
    return ui->clbWeek;
}

QCheckBox* WeekDayPicker::pinBox() const {
    return ui->cbHold;
}

WeekDayPicker::~WeekDayPicker() {
    if (m_editor != nullptr) {
        qApp->removeEventFilter(this);
        FormDestroy();
    }
}

void WeekDayPicker::attachEditor(TaskEditor* editor, HandlerGuard* guard) {
    if (m_editor != nullptr)
        qApp->removeEventFilter(this);
    m_editor = editor;
    m_guard = guard;
    if (m_editor == nullptr || m_guard == nullptr) {
        m_editor = nullptr;
        return;
    }
    // Sees a press in another window before that window does: the lost
    // activation is handled before the click that caused it.
    qApp->installEventFilter(this);
    FormCreate();
}

bool WeekDayPicker::isPinned() const {
    return ui->cbHold->isChecked();
}

void WeekDayPicker::ClearAllDays() {
    for (int i = 0; i < ui->clbWeek->count(); ++i)
        ui->clbWeek->item(i)->setCheckState(Qt::Unchecked);
}

void WeekDayPicker::ShowDays(const QString& week) {
    ClearAllDays();
    for (QChar c : week) {
        const int day = c.unicode() - u'0';
        if (day >= 0 && day < ui->clbWeek->count())
            ui->clbWeek->item(day)->setCheckState(Qt::Checked);
    }
}

QString WeekDayPicker::tickedDays() const {
    QString week;
    for (int i = 0; i < ui->clbWeek->count(); ++i)
        if (ui->clbWeek->item(i)->checkState() == Qt::Checked)
            week.append(QChar(u'0' + i));
    return week;
}

void WeekDayPicker::FormCreate() {
    if (m_editor != nullptr)
        m_guard->run([this] { m_editor->LoadWeekSets(); });
}

void WeekDayPicker::FormDeactivate() {
    if (m_editor != nullptr)
        m_guard->run([this] { m_editor->WriteWeek(); });
}

void WeekDayPicker::FormDestroy() {
    if (m_editor != nullptr)
        m_guard->run([this] { m_editor->SaveWeekSets(); });
}

void WeekDayPicker::deactivated() {
    if (!m_active)
        return;
    m_active = false;
    FormDeactivate();
}

void WeekDayPicker::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    if (isActiveWindow())
        m_active = true;
    else
        deactivated();
}

void WeekDayPicker::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // Hidden while active: that is a loss of activation too.
    deactivated();
}

bool WeekDayPicker::eventFilter(QObject* watched, QEvent* event) {
    if (m_active && (event->type() == QEvent::MouseButtonPress ||
                     event->type() == QEvent::MouseButtonDblClick)) {
        if (auto* w = qobject_cast<QWidget*>(watched); w != nullptr && w->window() != this)
            deactivated();
    }
    return QWidget::eventFilter(watched, event);
}
