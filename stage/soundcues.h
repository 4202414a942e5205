#pragma once

#include <QString>

namespace stage {

// The four sound cues of the stage.
enum class SoundCue { Chime, Step, Applause, Wrong };

// The cue's file, relative to the program directory.
QString soundCueFile(SoundCue cue);

// Plays a cue asynchronously; a cue that starts stops the one playing.
void playCue(SoundCue cue);

// Loads the four cues so that each starts at once when played.
void preloadSoundCues();

} // namespace stage
