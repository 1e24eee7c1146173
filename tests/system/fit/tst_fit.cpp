// Every caption and every fixed-width content of the four windows has room in
// its control, with the windows' own font, in each state a user meets them:
// the editor on a new task, on a countdown and on a week-day task; the
// week-day picker; the alarm window as a message and as a switch-off; the
// About card. Run on a real X server (the font's hinting there decides the
// last pixel) and at scale two. ZV_FIT_ALL=1 prints every measure.

#include "tests/common/programrun.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTextDocument>
#include <QToolButton>

#include <memory>

namespace {

// The user's own texts (names, messages, paths) may be of any length: their
// fields scroll and the name label ends at the window's edge by design.
const QStringList kFreeText = {QStringLiteral("edMsg"), QStringLiteral("edApp"),
                               QStringLiteral("lbEvName")};

QString plain(QString text) {
    text.remove(QStringLiteral("&&")); // a literal ampersand: near enough
    text.remove(u'&');
    return text;
}

QString nameOf(const QWidget* w) {
    QString name = w->objectName();
    if (name.startsWith(QLatin1String("qt_")))
        name.clear();
    for (const QWidget* p = w->parentWidget(); name.isEmpty() && p != nullptr;
         p = p->parentWidget())
        if (!p->objectName().isEmpty())
            name = p->objectName() + QStringLiteral("'s ") +
                   QString::fromLatin1(w->metaObject()->className());
    return name;
}

bool isFreeText(const QWidget* w) {
    for (; w != nullptr; w = w->parentWidget())
        if (kFreeText.contains(w->objectName()))
            return true;
    return false;
}

// The room the style gives a one-line text inside the control, against the
// text's width in the control's font.
struct Fit {
    QString where;
    int need = 0;
    int room = 0;
};

int advance(const QWidget* w, const QString& text) {
    return w->fontMetrics().horizontalAdvance(plain(text));
}

void label(QLabel* l, QList<Fit>& out) {
    if (l->text().isEmpty() || l->textFormat() == Qt::RichText || isFreeText(l))
        return;
    QRect room = l->contentsRect().adjusted(l->margin(), l->margin(), -l->margin(), -l->margin());
    int indent = l->indent();
    if (indent < 0 && l->frameWidth() > 0)
        indent = l->fontMetrics().horizontalAdvance(u'x') / 2;
    room.setWidth(room.width() - qMax(indent, 0));
    if (l->wordWrap()) {
        // A wrapped text needs its lines' height, at the label's width.
        QTextDocument doc;
        doc.setDefaultFont(l->font());
        doc.setDocumentMargin(0);
        doc.setPlainText(l->text());
        doc.setTextWidth(room.width());
        out.append(
            {nameOf(l) + QStringLiteral(" (height)"), qCeil(doc.size().height()), room.height()});
        return;
    }
    int widest = 0;
    for (const QString& line : l->text().split(u'\n'))
        widest = qMax(widest, advance(l, line));
    out.append({nameOf(l), widest, room.width()});
}

void checkOrRadio(QAbstractButton* b, QList<Fit>& out) {
    if (b->text().isEmpty())
        return;
    const bool radio = qobject_cast<QRadioButton*>(b) != nullptr;
    QStyleOptionButton opt;
    opt.initFrom(b);
    opt.text = b->text();
    const QRect room = b->style()->subElementRect(
        radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents, &opt, b);
    out.append({nameOf(b), advance(b, b->text()), room.width()});
}

void toolButton(QToolButton* b, QList<Fit>& out) {
    if (b->text().isEmpty() ||
        (!b->icon().isNull() && b->toolButtonStyle() == Qt::ToolButtonIconOnly))
        return;
    // The label is drawn inside the button less its frame on each side.
    const int frame = b->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b);
    out.append({nameOf(b), advance(b, b->text()), b->width() - 2 * frame});
}

void pushButton(QPushButton* b, QList<Fit>& out) {
    if (b->text().isEmpty())
        return;
    QStyleOptionButton opt;
    opt.initFrom(b);
    opt.text = b->text();
    const QRect room = b->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, b);
    out.append({nameOf(b), advance(b, b->text()), room.width()});
}

void lineEdit(QLineEdit* e, QList<Fit>& out) {
    if (e->text().isEmpty() || isFreeText(e))
        return;
    // What QLineEdit keeps free on each side of its text inside the style's
    // contents rect (its own fixed horizontal margin).
    constexpr int kLineEditMargin = 2;
    QStyleOptionFrame opt;
    opt.initFrom(e);
    opt.rect = e->contentsRect();
    opt.lineWidth =
        e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e) : 0;
    const QRect contents = e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e);
    const QMargins text = e->textMargins();
    const int room = contents.width() - text.left() - text.right() - 2 * kLineEditMargin;
    out.append({nameOf(e), advance(e, e->displayText()), room});
}

void comboBox(QComboBox* c, QList<Fit>& out) {
    if (c->isEditable())
        return; // its line edit is walked on its own
    QStyleOptionComboBox opt;
    opt.initFrom(c);
    opt.editable = false;
    opt.frame = c->hasFrame();
    const QRect field =
        c->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, c);
    // Any item may be the chosen one; the label is drawn a pixel in on each
    // side of the field.
    int widest = 0;
    for (int i = 0; i < c->count(); ++i)
        widest = qMax(widest, advance(c, c->itemText(i)));
    out.append({nameOf(c), widest, field.width() - 2});
}

void groupBox(QGroupBox* g, QList<Fit>& out) {
    if (g->title().isEmpty())
        return;
    QStyleOptionGroupBox opt;
    opt.initFrom(g);
    opt.text = g->title();
    opt.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    const QRect label =
        g->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, g);
    out.append({nameOf(g), label.left() + advance(g, g->title()), g->width()});
}

void listItems(QListWidget* l, QList<Fit>& out) {
    for (int i = 0; i < l->count(); ++i) {
        QListWidgetItem* item = l->item(i);
        if (isFreeText(l) || item->text().isEmpty())
            continue;
        QStyleOptionViewItem opt;
        opt.initFrom(l);
        opt.rect = l->visualItemRect(item);
        opt.text = item->text();
        opt.features = QStyleOptionViewItem::HasDisplay;
        if ((item->flags() & Qt::ItemIsUserCheckable) != 0)
            opt.features |= QStyleOptionViewItem::HasCheckIndicator;
        opt.font = l->font();
        opt.fontMetrics = l->fontMetrics();
        opt.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        const QRect text =
            l->style()->subElementRect(QStyle::SE_ItemViewItemText, &opt, l->viewport());
        // The delegate draws the text a text margin in on each side.
        const int margin = l->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, l) + 1;
        out.append({nameOf(l) + u'[' + item->text() + u']', advance(l, item->text()),
                    text.width() - 2 * margin});
    }
}

// Every visible control of the window whose text has less room than it needs.
QStringList overflows(QWidget* window) {
    QList<Fit> fits;
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        if (!w->isVisibleTo(window))
            continue;
        const qsizetype before = fits.size();
        if (auto* l = qobject_cast<QLabel*>(w))
            label(l, fits);
        else if (auto* b = qobject_cast<QCheckBox*>(w))
            checkOrRadio(b, fits);
        else if (auto* r = qobject_cast<QRadioButton*>(w))
            checkOrRadio(r, fits);
        else if (auto* t = qobject_cast<QToolButton*>(w))
            toolButton(t, fits);
        else if (auto* p = qobject_cast<QPushButton*>(w))
            pushButton(p, fits);
        else if (auto* e = qobject_cast<QLineEdit*>(w))
            lineEdit(e, fits);
        else if (auto* c = qobject_cast<QComboBox*>(w))
            comboBox(c, fits);
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            groupBox(g, fits);
        else if (auto* lw = qobject_cast<QListWidget*>(w))
            listItems(lw, fits);
        // What of the control lies outside its parent is no room at all.
        if (w->parentWidget() != nullptr) {
            const QRect shown = w->geometry() & w->parentWidget()->rect();
            for (qsizetype i = before; i < fits.size(); ++i)
                fits[i].room -= fits[i].where.endsWith(QLatin1String("(height)"))
                                    ? w->height() - shown.height()
                                    : w->width() - shown.width();
        }
    }
    QStringList out;
    for (const Fit& f : fits) {
        if (qEnvironmentVariableIsSet("ZV_FIT_ALL"))
            qDebug("%s: %d / %d", qPrintable(f.where), f.need, f.room);
        if (f.need > f.room)
            out.append(QStringLiteral("%1 in %2: needs %3 px, has %4")
                           .arg(f.where, window->objectName())
                           .arg(f.need)
                           .arg(f.room));
    }
    return out;
}

template <class T> T* child(QWidget* window, const char* name) {
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    if (w == nullptr)
        qFatal("no control %s", name);
    return w;
}

QWidget* topLevel(const char* name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(name))
            return w;
    qFatal("no window %s", name);
}

// Loads a task into the editor as the user does: a click on its row.
void clickTask(QWidget* main, const QString& name) {
    auto* list = child<QListWidget>(main, "clbEvents");
    const QList<QListWidgetItem*> rows = list->findItems(name, Qt::MatchExactly);
    if (rows.isEmpty())
        qFatal("no row %s", qPrintable(name));
    const QRect r = list->visualItemRect(rows.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

// Types the widest text a field holds into it, then leaves it, as a user does.
void typeInto(QLineEdit* e, const QString& text) {
    e->setFocus();
    e->selectAll();
    QTest::keyClicks(e, text);
}

const char* kIni = "[Main]\nTop=0\nARec=0\n"
                   "[Обед]\n"
                   "Time=12:00:00\nDate=09.12.2026\nDayOrWeek=0\nDay=1\nActiving=1\nAction=0\n"
                   "Message=Пора обедать: суп уже на столе, второе греется, компот остывает\n"
                   "[Таймер]\n"
                   "Time=12:00:00\nTimeGap=23:59:59\nDate=09.12.2026\nActiving=1\nAction=0\n"
                   "[Планёрка]\n"
                   "Time=09:00:00\nDate=09.12.2026\nDayOrWeek=1\nWeek=0123456\nActiving=1\n"
                   "Action=0\n"
                   "[Программа]\n"
                   "Time=10:00:00\nDate=09.12.2026\nActiving=1\nAction=3\nProgram=/usr/bin/true\n"
                   "[Выключение]\n"
                   "Time=21:00:00\nDate=09.12.2026\nActiving=1\nAction=2\n";

// Reading any image has the image reader load the image-format plugins,
// and with them their libraries, for the process's whole life.
bool imageFormatPluginLoaded() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        qFatal("cannot read /proc/self/maps");
    return maps.readAll().contains("/imageformats/");
}

QImage rendered(QGroupBox& box, QStyle* style, qreal ratio) {
    box.setStyle(style);
    QImage out(box.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(ratio);
    out.fill(Qt::white);
    box.render(&out);
    return out;
}

} // namespace

class TestFit final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // First: it asks whether this process ever read an image.
    void groupBoxFrameIsFusionsWithoutReadingAnImage();
    void everyTextFits();
};

// Fusion paints a group box's frame from a picture file; the style paints the
// same pixels without one, so that showing the main window reads no image.
void TestFit::groupBoxFrameIsFusionsWithoutReadingAnImage() {
    QFont formFont;
    {
        ProgramRun run;
        run.writeIni(kIni);
        run.startAndShow();
        const QList<QGroupBox*> boxes = run.main()->findChildren<QGroupBox*>();
        QVERIFY(!boxes.isEmpty());
        formFont = boxes.first()->font();
        QVERIFY(!run.main()->grab().isNull());
        QVERIFY2(!imageFormatPluginLoaded(), "showing the main window read an image");
    }

    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    QStyle* compact = QApplication::style();
    QCOMPARE(compact->metaObject()->className(), "CompactStyle");
    struct Kind {
        const char* name;
        QString title;
        bool checkable;
        bool flat;
    };
    const Kind kinds[] = {{"titled", QStringLiteral("Задания"), false, false},
                          {"untitled", QString(), false, false},
                          {"checkable", QStringLiteral("О'Звучка"), true, false},
                          {"flat", QStringLiteral("Задания"), false, true}};
    for (const Kind& kind : kinds)
        for (const qreal ratio : {1.0, 2.0}) {
            QGroupBox box(kind.title);
            box.setFont(formFont);
            box.setCheckable(kind.checkable);
            box.setFlat(kind.flat);
            box.resize(173, 61);
            const QImage want = rendered(box, fusion.get(), ratio);
            const QImage got = rendered(box, compact, ratio);
            QVERIFY2(got == want, qPrintable(QStringLiteral("%1 group box at scale %2 differs from "
                                                            "Fusion's")
                                                 .arg(QLatin1String(kind.name))
                                                 .arg(ratio)));
        }
}

void TestFit::everyTextFits() {
    ProgramRun run;
    run.writeIni(kIni);
    run.startAndShow();
    QWidget* main = run.main();
    QStringList cut;

    // A new task, with the widest contents of its fixed-width fields.
    auto* date = child<QDateEdit>(main, "OnAirDate");
    date->setDate(QDate(2026, 12, 28));
    typeInto(child<QLineEdit>(main, "edTime"), QStringLiteral("235959"));
    typeInto(child<QLineEdit>(main, "edOnes"), QStringLiteral("9"));
    typeInto(child<QLineEdit>(main, "edDay"), QStringLiteral("99"));
    cut += overflows(main);

    // Every choice of the radio groups and the chime is seen in turn.
    clickTask(main, QStringLiteral("Таймер"));
    QVERIFY(child<QCheckBox>(main, "cbHours")->isChecked());
    cut += overflows(main);

    clickTask(main, QStringLiteral("Планёрка"));
    QVERIFY(QTest::qWaitForWindowExposed(topLevel("TfmWeek")));
    cut += overflows(main);
    cut += overflows(topLevel("TfmWeek"));

    // The program's path and its button.
    clickTask(main, QStringLiteral("Программа"));
    QVERIFY(child<QWidget>(main, "plAppCtrl")->isVisible());
    cut += overflows(main);

    // The alarm window, as a message and as a switch-off.
    clickTask(main, QStringLiteral("Обед"));
    QTest::mouseClick(child<QToolButton>(main, "sbTestEv"), Qt::LeftButton);
    QWidget* alarm = topLevel("TfmMsg");
    QVERIFY(QTest::qWaitForWindowExposed(alarm));
    cut += overflows(alarm);
    alarm->close();

    clickTask(main, QStringLiteral("Выключение"));
    QTest::mouseClick(child<QToolButton>(main, "sbTestEv"), Qt::LeftButton);
    QVERIFY(QTest::qWaitForWindowExposed(alarm));
    cut += overflows(alarm);
    alarm->close();

    QTest::mouseClick(child<QToolButton>(main, "sbAbout"), Qt::LeftButton);
    QWidget* about = topLevel("TfmAvtor");
    QVERIFY(QTest::qWaitForWindowExposed(about));
    cut += overflows(about);

    cut.removeDuplicates();
    if (!cut.isEmpty())
        QFAIL(qPrintable(u'\n' + cut.join(u'\n')));
}

QTEST_MAIN(TestFit)
#include "tst_fit.moc"
