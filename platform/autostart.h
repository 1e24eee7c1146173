#pragma once

#include <QByteArray>
#include <QString>

// The session's autostart entry: a desktop entry file in the XDG autostart
// folder that starts the program in its own folder.
namespace autostart {

// $XDG_CONFIG_HOME/autostart when that is an absolute path, else
// <home>/.config/autostart. The folder need not exist.
QString folderFrom(const QString& xdgConfigHome, const QString& home);

// The text of a desktop entry named `name` that runs `program` with
// `arguments` (already a command line fragment; may be empty) in `workDir`.
QByteArray desktopEntry(const QString& name, const QString& program, const QString& arguments,
                        const QString& workDir);

// Writes `contents` to `path` atomically, creating its folder when missing.
// False when anything refused.
bool writeEntry(const QString& path, const QByteArray& contents);

// A value quoted for the Exec key: one argument, whatever it holds.
QString quoteExecArgument(const QString& arg);
// The general escapes of a desktop entry string value.
QString escapeValue(const QString& value);

} // namespace autostart
