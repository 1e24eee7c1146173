#pragma once

// A run of the program's windows with the task list at hand.

#include "tests/common/programrun.h"
#include "uicommon/eventchecklist.h"

#include <QPoint>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>

struct Run : ProgramRun {
    EventCheckList* list() const {
        return main()->findChild<EventCheckList*>(QStringLiteral("clbEvents"));
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
