#include "modules/client/soundmodule.h"

#include "modules/client/modulefile.h"
#include "modules/sound/soundapi.h"

#include <utility>

SoundModule::SoundModule(QString programDir) : m_dir(std::move(programDir)) {}

QString SoundModule::fileName() {
    return QString::fromLatin1(ZV_SOUND_MODULE_FILE);
}

bool SoundModule::load() {
    if (m_play)
        return true;
    // Tried again at every play while it fails, as the module may be put in
    // place while the program runs; a failed attempt costs one file lookup.
    ModuleFile module(m_dir, ZV_SOUND_MODULE_FILE);
    const auto play = moduleFunction<zv_play_sound_fn>(module, ZV_SOUND_PLAY_SYMBOL);
    if (!play)
        return false;
    m_play = play;
    m_stop = moduleFunction<zv_stop_sound_fn>(module, ZV_SOUND_STOP_SYMBOL);
    // The module plays on a thread of its own that outlives every call, and
    // possibly this object: it stays loaded for the life of the process.
    module.keepLoaded();
    return true;
}

bool SoundModule::play(QStringView name) {
    if (!load())
        return false;
    // Wave names are short ASCII words; anything else cannot name a wave.
    for (QChar c : name) {
        if (c.unicode() == 0 || c.unicode() > 0x7f)
            return false;
    }
    return m_play(name.toLatin1().constData()) == 0;
}

void SoundModule::stop() {
    if (m_stop)
        m_stop();
}
