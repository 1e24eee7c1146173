#pragma once

// One run of the program's windows in a temporary folder, with the fake
// platform and a clock that stands still until told otherwise.

#include "clock.h"
#include "eventchecklist.h"
#include "fakeplatform.h"
#include "programwindows.h"
#include "regionalformats.h"
#include "tfmtocsiner.h"

#include <QFile>
#include <QPoint>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

struct Run {
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
    // The value of key in section, as the file holds it; "<absent>" when missing.
    QString value(const QString& section, const QString& key) const {
        bool inSection = false;
        for (QString line : ini().split(u'\n')) {
            if (line.endsWith(u'\r'))
                line.chop(1);
            if (line.startsWith(u'[')) {
                inSection = line.compare(u'[' + section + u']', Qt::CaseInsensitive) == 0;
                continue;
            }
            if (inSection && line.startsWith(key + u'='))
                return line.mid(key.size() + 1);
        }
        return QStringLiteral("<absent>");
    }
    bool hasSection(const QString& section) const {
        return ini().contains(u'[' + section + u']', Qt::CaseInsensitive);
    }

    void start() {
        windows = std::make_unique<ProgramWindows>(
            ShellContext{platform, clock, RegionalFormats::russian(), dir.path()});
        // The clock must not tick on its own while a test looks at the list.
        main()->Timer1.stop();
    }
    void startAndShow() {
        start();
        windows->showAtStart();
        main()->activateWindow();
        if (!QTest::qWaitForWindowActive(main()))
            qWarning("the main window did not become active");
    }
    TfmTocsiner* main() const { return windows->fmTocsiner.get(); }
    EventCheckList* list() const {
        return main()->findChild<EventCheckList*>(QStringLiteral("clbEvents"));
    }
    template <class T> T* control(const char* name) const {
        T* w = main()->findChild<T*>(QString::fromLatin1(name));
        if (w == nullptr)
            qFatal("no control %s", name);
        return w;
    }
    QStringList rows() const {
        QStringList names;
        for (int r = 0; r < list()->count(); ++r)
            names.append(list()->item(r)->text());
        return names;
    }

    // A click on a row's text, away from its check box.
    void clickRow(int row, Qt::KeyboardModifiers mods = Qt::NoModifier) const {
        const QRect r = list()->visualItemRect(list()->item(row));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, mods,
                          QPoint(r.right() - 4, r.center().y()));
    }
    // A click on a row's check box, where the style draws it.
    void clickCheckBox(int row) const {
        EventCheckList* l = list();
        QStyleOptionViewItem opt;
        opt.initFrom(l->viewport());
        opt.rect = l->visualItemRect(l->item(row));
        opt.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
        opt.text = l->item(row)->text();
        opt.font = l->font();
        opt.fontMetrics = l->fontMetrics();
        opt.widget = l;
        const QRect box =
            l->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &opt, l);
        QTest::mouseClick(l->viewport(), Qt::LeftButton, Qt::NoModifier, box.center());
    }
};

// A task section due on `date` at `time`, every day.
inline QString task(const QString& name, const QString& time,
                    const QString& activing = QStringLiteral("1"),
                    const QString& date = QStringLiteral("08.12.2026")) {
    QString s = u'[' + name + QStringLiteral("]\n");
    if (!activing.isEmpty())
        s += QStringLiteral("Activing=") + activing + u'\n';
    s += QStringLiteral("Date=") + date + QStringLiteral("\nDayOrWeek=0\nDay=1\nTime=") + time +
         QStringLiteral("\nMessage=\nAction=0\nSound=0\nOnes=1\n");
    return s;
}
