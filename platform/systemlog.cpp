#include "platform/systemlog.h"

#include <QCoreApplication>
#include <QSet>

#include <cstdio>
#include <syslog.h>

void reportToSystemLog(const QString& text) {
    static QSet<QString> reported;
    if (reported.contains(text))
        return;
    reported.insert(text);
    // The executable's name, as a journal lists the program's other lines.
    static const QByteArray ident =
        QCoreApplication::applicationFilePath().isEmpty()
            ? QByteArray("zvonarka")
            : QCoreApplication::applicationFilePath().section(u'/', -1).toLocal8Bit();
    const QByteArray line = text.toLocal8Bit();
    std::fprintf(stderr, "%s: %s\n", ident.constData(), line.constData());
    std::fflush(stderr);
    openlog(ident.constData(), LOG_PID, LOG_USER);
    syslog(LOG_ERR, "%s", line.constData());
    closelog();
}
