#pragma once

// A run of the program's windows with the editor's controls at hand.

#include "store/daycount.h"
#include "tests/common/programrun.h"
#include "ui_mainwindow.h"
#include "ui_weekdaypicker.h"
#include "uicommon/focushandlers.h"
#include "uicommon/maskedtimeedit.h"
#include "uicommon/radiogroup.h"

#include <QApplication>
#include <QListWidget>
#include <QPainter>
#include <QRadioButton>

struct EditorRun : ProgramRun {
    Ui::TfmTocsiner* ui() const { return main()->form(); }

    // Loads a task as a click in the list does: it becomes the current task.
    void choose(const QString& name) const {
        main()->taskList()->setCurrentTaskName(name);
        main()->editor()->ShowEvent(name);
    }
    void setAutoRec(bool on) const { ui()->cbARec->setChecked(on); }

    // Moves the keyboard focus as a Tab would, running the exit handlers.
    static void focus(QWidget* w) {
        w->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
    }
    // Replaces a field's text as typed, then leaves it.
    static void retype(QLineEdit* field, const QString& text) {
        focus(field);
        field->selectAll();
        typeText(field, text);
    }
    // What the user does with the mouse and keys.
    // A click on a task's row in the list, away from its check box.
    void clickTask(const QString& name) const {
        QListWidget* list = ui()->clbEvents;
        const QList<QListWidgetItem*> items = list->findItems(name, Qt::MatchExactly);
        if (items.isEmpty())
            qFatal("no task %s in the list", qPrintable(name));
        const QRect rect = list->visualItemRect(items.constFirst());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(rect.right() - 4, rect.center().y()));
    }
    // "Ok", answering the overwrite question with `overwrite` if it comes.
    void clickOk(bool overwrite = true) {
        platform.answers = {overwrite};
        QTest::mouseClick(ui()->sbSaveEvent, Qt::LeftButton);
        platform.answers.clear();
    }
    static void clickInto(QWidget* w, QPoint at = QPoint()) {
        QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, at.isNull() ? w->rect().center() : at);
    }
    // Tab (or Shift+Tab) from the control that has the focus.
    static void tab(bool back = false) {
        QWidget* w = QApplication::focusWidget();
        if (w == nullptr)
            qFatal("nothing has the focus");
        if (back)
            QTest::keyClick(w, Qt::Key_Backtab, Qt::ShiftModifier);
        else
            QTest::keyClick(w, Qt::Key_Tab);
    }
    // Types a time into the time field over what it holds, as six digits.
    void typeTime(const QString& digits) const {
        clickInto(ui()->edTime);
        ui()->edTime->selectAll();
        QTest::keyClicks(ui()->edTime, digits);
    }
    // Ticks exactly the given days in the picker with the keyboard, then
    // gives the activation back to the main window.
    void tickDays(const QString& week) const {
        WeekDayPicker* w = this->week();
        w->show();
        w->activateWindow();
        if (!QTest::qWaitForWindowActive(w))
            qWarning("the picker did not become active");
        QListWidget* list = w->dayList();
        list->setFocus(Qt::TabFocusReason);
        for (int day = 0; day < list->count(); ++day) {
            const bool wanted = week.contains(QChar(u'0' + day));
            if ((list->item(day)->checkState() == Qt::Checked) != wanted) {
                list->setCurrentRow(day);
                QTest::keyClick(list, Qt::Key_Space);
            }
        }
        activateMain();
    }

    QStringList errorTexts() const {
        QStringList out;
        for (const auto& b : platform.boxes)
            if (b.kind == FakePlatform::Box::Error)
                out.append(b.text);
        return out;
    }
    // The main window with the picker where it stands beside it, as one
    // picture, saved in the build folder.
    void screenshot(const QString& fileName, bool withPicker) const {
        const QRect mainRect(main()->pos(), main()->size());
        QRect all = mainRect;
        const QRect weekRect(week()->pos(), week()->size());
        if (withPicker)
            all = all.united(weekRect);
        QImage image(all.size(), QImage::Format_RGB32);
        image.fill(QColor(0x3a, 0x6e, 0xa5));
        QPainter p(&image);
        p.drawPixmap(mainRect.topLeft() - all.topLeft(), main()->grab());
        if (withPicker)
            p.drawPixmap(weekRect.topLeft() - all.topLeft(), week()->grab());
        p.end();
        if (!image.save(QStringLiteral(ZV_SCREENSHOT_DIR "/") + fileName))
            qWarning("cannot save %s", qPrintable(fileName));
    }
    int today() const { return daycount::fromDate(clock.now().date()); }
    QString date(int dayCount) const { return RegionalFormats::russian().formatDate(dayCount); }
};
