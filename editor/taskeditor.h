#pragma once

#include "tasklist/tasklist.h"

#include <QObject>
#include <QString>

class EventCheckList;
class MaskedTimeEdit;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QToolButton;
class QWidget;
class RadioGroup;
class Services;
class WeekDayPicker;
class UpDown;

// The task editor: loading a task into the fields, saving it, the fields'
// own handlers with auto-record, the repeat rule and the week-day picker's
// glue (its place, its pin and the pending week string).
class TaskEditor final : public QObject, public TaskListEditor {
public:
    struct Controls {
        QWidget* window; // the main window: parent of the boxes, the picker's anchor
        QToolButton* sbSaveEvent;
        MaskedTimeEdit* edTime;
        QCheckBox* cbHours;
        RadioGroup* rgChoose;
        QWidget* plAppCtrl;
        QLineEdit* edApp;
        QToolButton* sbOpenDlg;
        QComboBox* cbEvSound;
        UpDown* udOnes;
        QLineEdit* edOnes;
        QLineEdit* edMsg;
        RadioGroup* rgDays;
        QDateEdit* OnAirDate;
        QLineEdit* edDay;
        QLabel* lbDay;
        QComboBox* evName;
        QLabel* lbEvName;
        QLabel* lbEvTime;
        QCheckBox* cbARec;
        EventCheckList* clbEvents;
    };

    TaskEditor(Services& services, TaskList& taskList, const Controls& controls,
               QObject* parent = nullptr);

    // The week-day picker, once it is made; null before and at the end.
    void attachWeekPicker(WeekDayPicker* week) { fmWeek = week; }

    void ShowEvent(const QString& name) override;
    void sbSaveEventClick() override;
    void edTimeExit();
    void cbHoursClick();
    void cbHoursExit();
    void rgChooseClick();
    void rgChooseExit();
    void edAppDblClick();
    void sbOpenDlgClick();
    void edAppExit();
    void cbEvSoundChange();
    void udOnesClick();
    void edOnesChange();
    void edOnesExit();
    void edMsgEnter();
    void edMsgExit();
    void rgDaysClick();
    void OnAirDateCloseUp();
    void OnAirDateExit();
    // A character typed into edDay; true when the field keeps it.
    bool edDayKeyPress(QChar key);
    void edDayExit();
    // The picker lost activation: rebuilds the pending week string and, with
    // auto-record, stores it.
    void WriteWeek();
    void LoadWeekSets();
    void SaveWeekSets();
    // The name of today's week day beside the rule, from the picker's list.
    void showTodaysWeekDay();
    // The clock moved a task's date on: the date field follows its task.
    void followTaskDate(const QString& name);

    // The week-day picker's pending week string.
    const QString& weekString() const { return WeekString; }

private:
    // The open-file dialog; the chosen path goes into edApp, then auto-record.
    void OpenDlg();
    // Auto-record is on and a saved task is loaded.
    bool autoRecording() const;
    void refreshEvTime();
    void reschedule();
    // The pending week string as a save stores it: in week-day mode an empty
    // one means today's day.
    QString weekToSave() const;
    // The repeat-days field's text as it is stored: empty or below 1 is "1"
    // (every 0 days would never come round). A number too long for an
    // integer is refused with "'%s' is not a valid integer value", never
    // taken as 1.
    QString checkedDay() const;
    // A countdown's end, in days from the start of today: "Time" and "Date".
    void writeCountdownEnd(const QString& task, double end);

    Services& m_s;
    TaskList& m_taskList;
    const Controls ui;
    WeekDayPicker* fmWeek = nullptr;
    QString WeekString;
};
