#pragma once

#include "platform/voicerecorder.h"

#include <memory>

namespace platform {

// The recorder of the desktop: Qt Multimedia's recorder writes Ogg/Opus
// from the default microphone, a second capture stream feeds the level
// meter, and a media player plays the recordings.
std::unique_ptr<VoiceRecorder> makeDesktopVoiceRecorder();

} // namespace platform
