#pragma once

// One run of the program's windows in a temporary folder, with the fake
// platform and a clock that stands still until told otherwise, and the
// editor's controls at hand.

#include "clock.h"
#include "daycount.h"
#include "fakeplatform.h"
#include "focushandlers.h"
#include "maskedtimeedit.h"
#include "programwindows.h"
#include "radiogroup.h"
#include "regionalformats.h"
#include "tfmtocsiner.h"
#include "tfmweek.h"
#include "ui_tfmtocsiner.h"
#include "ui_tfmweek.h"

#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QPainter>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

struct EditorRun {
    QTemporaryDir dir;
    FakePlatform platform;
    // Tuesday 8 December 2026, noon.
    ManualClock clock{QDateTime(QDate(2026, 12, 8), QTime(12, 0, 0))};
    std::unique_ptr<ProgramWindows> windows;

    QString iniPath() const { return dir.filePath(QStringLiteral("tester.ini")); }
    void writeIni(const QString& text) const {
        QFile f(iniPath());
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write the settings file");
        f.write(text.toUtf8());
    }
    QString ini() const {
        QFile f(iniPath());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    // The key lines of a section, in file order.
    QStringList lines(const QString& section) const {
        QStringList out;
        bool inSection = false;
        for (QString line : ini().split(u'\n')) {
            if (line.endsWith(u'\r'))
                line.chop(1);
            if (line.startsWith(u'[')) {
                inSection = line.compare(u'[' + section + u']', Qt::CaseInsensitive) == 0;
                continue;
            }
            if (inSection && !line.isEmpty())
                out.append(line);
        }
        return out;
    }
    QStringList keyOrder(const QString& section) const {
        QStringList out;
        for (const QString& l : lines(section))
            out.append(l.section(u'=', 0, 0));
        return out;
    }
    // "<absent>" when the key is missing.
    QString value(const QString& section, const QString& key) const {
        for (const QString& l : lines(section))
            if (l.section(u'=', 0, 0).compare(key, Qt::CaseInsensitive) == 0)
                return l.mid(l.indexOf(u'=') + 1);
        return QStringLiteral("<absent>");
    }

    void start() {
        windows = std::make_unique<ProgramWindows>(
            ShellContext{platform, clock, RegionalFormats::russian(), dir.path()});
        main()->Timer1.stop();
    }
    void startAndShow() {
        start();
        windows->showAtStart();
        activateMain();
    }
    void activateMain() const {
        main()->activateWindow();
        if (!QTest::qWaitForWindowActive(main()))
            qWarning("the main window did not become active");
    }
    void stop() { windows.reset(); }

    TfmTocsiner* main() const { return windows->fmTocsiner.get(); }
    TfmWeek* week() const { return windows->fmWeek.get(); }
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
