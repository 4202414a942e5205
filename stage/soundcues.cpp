#include "stage/soundcues.h"

#include "platform/effects.h"
#include "platform/programdir.h"

namespace stage {

QString soundCueFile(SoundCue cue)
{
    switch (cue) {
    case SoundCue::Chime:
        return QStringLiteral("Sound\\fenling.WAV");
    case SoundCue::Step:
        return QStringLiteral("Sound\\xiayige.wav");
    case SoundCue::Applause:
        return QStringLiteral("Sound\\guzhang.WAV");
    case SoundCue::Wrong:
        return QStringLiteral("Sound\\cuo.wav");
    }
    return {};
}

void playCue(SoundCue cue)
{
    platform::effects().playSound(platform::dataPath(soundCueFile(cue)));
}

void preloadSoundCues()
{
    QStringList paths;
    for (SoundCue cue : {SoundCue::Chime, SoundCue::Step, SoundCue::Applause, SoundCue::Wrong})
        paths.append(platform::dataPath(soundCueFile(cue)));
    platform::preloadSounds(paths);
}

} // namespace stage
