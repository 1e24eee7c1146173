#pragma once

// One run of the program's windows in a temporary folder of their own, with
// the fake platform and a clock that stands still until told otherwise, and
// what the tests read of the settings file there.

#include "app/mainwindow.h"
#include "app/programwindows.h"
#include "chime/hourlychime.h"
#include "editor/taskeditor.h"
#include "editor/weekdaypicker.h"
#include "firing/firing.h"
#include "store/regionalformats.h"
#include "tasklist/tasklist.h"
#include "tests/common/fakeplatform.h"
#include "tests/common/manualclock.h"
#include "tray/tray.h"
#include "uicommon/handlerguard.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

struct ProgramRun {
    QTemporaryDir dir;
    FakePlatform platform;
    // Tuesday 8 December 2026, noon.
    ManualClock clock{QDateTime(QDate(2026, 12, 8), QTime(12, 0, 0))};
    std::unique_ptr<ProgramWindows> windows;

    QString iniPath() const { return dir.filePath(QStringLiteral("tester.ini")); }
    void writeIni(const QByteArray& bytes) const {
        QFile f(iniPath());
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            qFatal("cannot write the settings file");
    }
    void writeIni(const QString& text) const { writeIni(text.toUtf8()); }
    void writeIni(const char* text) const { writeIni(QByteArray(text)); }
    QString ini() const {
        QFile f(iniPath());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    // The key lines of a section, in file order; sections without regard to case.
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
    // The value as the file holds it; "<absent>" when the key is missing.
    QString value(const QString& section, const QString& key) const {
        for (const QString& l : lines(section))
            if (l.section(u'=', 0, 0).compare(key, Qt::CaseInsensitive) == 0)
                return l.mid(l.indexOf(u'=') + 1);
        return QStringLiteral("<absent>");
    }
    bool hasSection(const QString& section) const {
        return ini().contains(u'[' + section + u']', Qt::CaseInsensitive);
    }

    // The windows as the program's start makes them, over the folder.
    void create() {
        windows = std::make_unique<ProgramWindows>(
            ShellContext{platform, clock, RegionalFormats::russian(), dir.path()});
    }
    // Created with the clock's own timer held still, so that nothing fires
    // while a test looks; the tests tick it themselves.
    void start() {
        create();
        main()->firing()->clockTimer().stop();
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

    MainWindow* main() const { return windows->mainWindow(); }
    WeekDayPicker* week() const { return windows->weekPicker(); }
    template <class T> T* control(const char* name) const {
        T* w = main()->findChild<T*>(QString::fromLatin1(name));
        if (w == nullptr)
            qFatal("no control %s", name);
        return w;
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
};
