#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class TfmWeek;
}

class HandlerGuard;
class QCheckBox;
class QListWidget;
class TaskEditor;

// The week-day picker: a small window above the others with the seven days
// and a pin box. Created hidden at start-up, afterwards only shown and hidden.
class WeekDayPicker final : public QWidget {
    Q_OBJECT
public:
    explicit WeekDayPicker(QWidget* parent = nullptr);
    // Runs FormDestroy while the main window is still there.
    ~WeekDayPicker() override;

    // Ties the picker to the task editor, which keeps its settings and its
    // days, and whose handlers run under `guard`: runs FormCreate. A null
    // editor unties it.
    void attachEditor(TaskEditor* editor, HandlerGuard* guard);

    // The pin box "Закрепить окно" is ticked.
    bool isPinned() const;

    void ClearAllDays();
    // Ticks the days of a WeekString; characters other than 0..6 are ignored.
    void ShowDays(const QString& week);
    // The ticked days as a WeekString: ascending digits, no separators.
    QString tickedDays() const;

    void FormCreate();
    void FormDeactivate();
    void FormDestroy();

    // The seven days, Monday first, and the pin box.
    QListWidget* dayList() const;
    QCheckBox* pinBox() const;

protected:
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Runs FormDeactivate once for an activation that is over.
    void deactivated();

    TaskEditor* m_editor = nullptr;
    HandlerGuard* m_guard = nullptr;
    // Active since the last FormDeactivate.
    bool m_active = false;

    std::unique_ptr<Ui::TfmWeek> ui;
};
