#include "platform/autostart.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace autostart {

QString folderFrom(const QString& xdgConfigHome, const QString& home) {
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base directory
    // rules say.
    const QString config = (!xdgConfigHome.isEmpty() && QDir::isAbsolutePath(xdgConfigHome))
                               ? xdgConfigHome
                               : home + QStringLiteral("/.config");
    return QDir::cleanPath(config + QStringLiteral("/autostart"));
}

QString escapeValue(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (QChar c : value) {
        switch (c.unicode()) {
        case u'\\':
            out += QStringLiteral("\\\\");
            break;
        case u'\n':
            out += QStringLiteral("\\n");
            break;
        case u'\t':
            out += QStringLiteral("\\t");
            break;
        case u'\r':
            out += QStringLiteral("\\r");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString quoteExecArgument(const QString& arg) {
    // Inside double quotes the Exec key wants ", `, $ and \ escaped with a
    // backslash, and a literal % doubled; the string escapes come on top.
    QString out = QStringLiteral("\"");
    for (QChar c : arg) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            out += u'\\';
        if (c == u'%')
            out += u'%';
        out += c;
    }
    out += u'"';
    return out;
}

QByteArray desktopEntry(const QString& name, const QString& program, const QString& arguments,
                        const QString& workDir) {
    QString exec = quoteExecArgument(program);
    if (!arguments.isEmpty())
        exec += u' ' + arguments;
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=") + escapeValue(name) + u'\n';
    text += QStringLiteral("Exec=") + escapeValue(exec) + u'\n';
    text += QStringLiteral("Path=") + escapeValue(workDir) + u'\n';
    text += QStringLiteral("Terminal=false\n");
    return text.toUtf8();
}

bool writeEntry(const QString& path, const QByteArray& contents) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(contents) != contents.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace autostart
