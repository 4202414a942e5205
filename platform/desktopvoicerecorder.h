#pragma once

#include "platform/voicerecorder.h"

#include <memory>

namespace platform {

// The recorder of the desktop. On Linux Qt Multimedia's recorder writes
// Ogg/Opus from the default microphone, a second capture stream feeds the
// level meter, and its decoder decodes the recordings; on Windows winmm
// records WAV. Both play the recordings through the sound cues' output.
std::unique_ptr<VoiceRecorder> makeDesktopVoiceRecorder();

} // namespace platform
