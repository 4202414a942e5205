#include "platform/soundplayer.h"

#include <QApplication>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

namespace platform {

SoundPlayer::SoundPlayer() = default;
SoundPlayer::~SoundPlayer()
{
    release();
}

void SoundPlayer::preload(const QStringList& paths)
{
    for (const QString& path : paths) {
        if (QFileInfo::exists(path))
            effectFor(path);
    }
}

void SoundPlayer::play(const QString& path)
{
    if (m_playing && m_playing->isPlaying())
        m_playing->stop();
    m_playing = nullptr;
    if (!QFileInfo::exists(path)) {
        // The missing cue is not reported: the default sound takes its place.
        QApplication::beep();
        return;
    }
    QSoundEffect* effect = effectFor(path);
    effect->play();
    m_playing = effect;
}

void SoundPlayer::release()
{
    m_playing = nullptr;
    qDeleteAll(m_effects);
    m_effects.clear();
}

QSoundEffect* SoundPlayer::effectFor(const QString& path)
{
    auto found = m_effects.constFind(path);
    if (found != m_effects.constEnd())
        return *found;
    auto* effect = new QSoundEffect(&m_owner);
    effect->setSource(QUrl::fromLocalFile(path));
    m_effects.insert(path, effect);
    return effect;
}

} // namespace platform
