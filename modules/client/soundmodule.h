#pragma once

#include <QString>
#include <QStringView>

// The sound module, seen from the program. The module file is opened from the
// program's folder when a sound is first played, so nothing of audio is loaded
// before then. A missing module, a module without the play function or a name
// it has no wave for plays nothing, and nothing is reported.
class SoundModule final {
public:
    explicit SoundModule(QString programDir);
    SoundModule(const SoundModule&) = delete;
    SoundModule& operator=(const SoundModule&) = delete;

    // Starts the named wave ("co", "ro", "ch") and returns at once; the sound
    // plays on while the caller goes on or waits, and a sound still playing
    // is cut off. False when there is no module or no such wave.
    bool play(QStringView name);
    // Cuts off the sound playing now. Loads nothing.
    void stop();

    // The module's file name in the program's folder.
    static QString fileName();

private:
    bool load();

    QString m_dir;
    using PlayFn = int (*)(const char*);
    using StopFn = void (*)();
    PlayFn m_play = nullptr;
    StopFn m_stop = nullptr;
};
