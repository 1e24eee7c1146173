// The real platform's opening of a task's "App": one path, never a command line.
#include "platform/systemplatform.h"

#include <QDesktopServices>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

class UrlCatcher final : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls.append(url); }
};

class TestOpenApp : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void executableStartsDirectlyWithItsNameIntact();
    void documentGoesToTheDefaultHandler();
    void missingOrEmptyPathFails();
};

void TestOpenApp::executableStartsDirectlyWithItsNameIntact() {
    QTemporaryDir dir;
    // A name a shell would split and run in parts.
    const QString program = dir.filePath(QStringLiteral("my prog; touch pwned"));
    const QString marker = dir.filePath(QStringLiteral("ran"));
    {
        QFile f(program);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\necho \"$#\" > '" + QFile::encodeName(marker) + "'\n");
    }
    QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    SystemPlatform platform;
    QVERIFY(platform.openApp(program));
    const auto written = [&marker] {
        QFile m(marker);
        return m.open(QIODevice::ReadOnly) ? m.readAll().trimmed() : QByteArray();
    };
    QTRY_VERIFY_WITH_TIMEOUT(!written().isEmpty(), 5000);
    // Started with no arguments, and no shell ran the rest of its name.
    QCOMPARE(written(), QByteArray("0"));
    QVERIFY(!QFile::exists(QStringLiteral("pwned")));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("pwned"))));
}

void TestOpenApp::documentGoesToTheDefaultHandler() {
    QTemporaryDir dir;
    const QString doc = dir.filePath(QStringLiteral("заметки к делу.txt"));
    {
        QFile f(doc);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("text\n");
    }
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    SystemPlatform platform;
    const bool opened = platform.openApp(doc);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QVERIFY(opened);
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(doc)});
}

void TestOpenApp::missingOrEmptyPathFails() {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    SystemPlatform platform;
    QVERIFY(!platform.openApp(QString()));
    QVERIFY(!platform.openApp(QStringLiteral("/nonexistent/zvonarka-test/prog")));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QVERIFY(catcher.urls.isEmpty());
}

QTEST_MAIN(TestOpenApp)
#include "tst_openapp.moc"
