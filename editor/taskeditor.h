#pragma once

#include "tasklist/editortasklist.h"
#include "tasklist/tasklisteditor.h"

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
        QToolButton* saveButton;
        MaskedTimeEdit* timeEdit;
        QCheckBox* countdownBox;   // the time is a countdown's interval
        RadioGroup* actionGroup;   // what the task does when it fires
        QWidget* programPanel;     // the program path and its browse button
        QLineEdit* programPath;    // the program or document the task opens
        QToolButton* browseButton; // the open-file dialog for programPath
        QComboBox* soundBox;
        UpDown* repeatUpDown; // how many times the sound plays
        QLineEdit* repeatCount;
        QLineEdit* messageEdit;
        RadioGroup* repeatRuleGroup; // every so many days, or on week days
        QDateEdit* dateEdit;         // the task's next date
        QLineEdit* dayCountEdit;     // every so many days
        QLabel* weekDayLabel;        // today's week day beside the rule
        QComboBox* nameBox;
        QCheckBox* autoRecordBox;
        EventCheckList* taskList;
    };

    TaskEditor(Services& services, EditorTaskList& taskList, const Controls& controls,
               QObject* parent = nullptr);

    // The week-day picker, once it is made; null before and at the end.
    void attachWeekPicker(WeekDayPicker* week) { m_weekPicker = week; }

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
    EditorTaskList& m_taskList;
    const Controls m_ui;
    WeekDayPicker* m_weekPicker = nullptr;
    QString WeekString;
};
