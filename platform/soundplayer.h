#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QSoundEffect;

namespace platform {

// Plays short WAV cues asynchronously. Each file is decoded once and kept, so
// a cue that has been played or preloaded starts at once the next time.
// Starting a cue stops the one still playing.
class SoundPlayer {
public:
    SoundPlayer();
    ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    void preload(const QStringList& paths);
    void play(const QString& path);
    // Stops and frees every cue. Must run while the application object
    // still exists: a cue freed after it waits for it for ever.
    void release();

private:
    QSoundEffect* effectFor(const QString& path);

    QObject m_owner;
    QHash<QString, QSoundEffect*> m_effects;
    QSoundEffect* m_playing = nullptr;
};

} // namespace platform
