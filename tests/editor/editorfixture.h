#pragma once

// A run of the program's windows with the editor's controls at hand.

#include "daycount.h"
#include "focushandlers.h"
#include "maskedtimeedit.h"
#include "programrun.h"
#include "radiogroup.h"
#include "ui_tfmtocsiner.h"
#include "ui_tfmweek.h"

#include <QApplication>
#include <QListWidget>
#include <QPainter>
#include <QRadioButton>

struct EditorRun : ProgramRun {
    Ui::TfmTocsiner* ui() const { return main()->ui.get(); }

    // Loads a task as a click in the list does: it becomes the current task.
    void choose(const QString& name) const {
        main()->CurrentTaskName = name;
        main()->ShowEvent(name);
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
    // Types text key by key; Cyrillic goes as characters of unknown keys.
    static void typeText(QWidget* w, const QString& text) {
        for (QChar ch : text) {
            if (ch.unicode() < 128)
                QTest::keyClicks(w, QString(ch));
            else
                QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        }
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
