#include "platform/recordingplayer.h"

#include <QFileInfo>

#include <algorithm>

namespace platform {

namespace {

// The entry shown, the one before and the one played: a few seconds of
// samples each, so memory stays small.
constexpr std::size_t kKeptRecordings = 3;

} // namespace

RecordingPlayer::RecordingPlayer(SoundPlayer& output, Decoder decoder, QObject* parent)
    : QObject(parent)
    , m_output(output)
    , m_decoder(std::move(decoder))
{
}

void RecordingPlayer::preload(const QString& path)
{
    const std::optional<Version> version = versionOf(path);
    if (version && !keptFor(*version))
        decode(*version);
}

void RecordingPlayer::play(const QString& path)
{
    m_wanted.reset();
    const std::optional<Version> version = versionOf(path);
    if (!version)
        return;
    if (const auto samples = keptFor(*version)) {
        m_output.play(samples);
        return;
    }
    m_wanted = version;
    decode(*version);
}

void RecordingPlayer::forget(const QString& path)
{
    m_kept.remove_if([&path](const Kept& kept) { return kept.version.path == path; });
}

std::optional<RecordingPlayer::Version> RecordingPlayer::versionOf(const QString& path)
{
    const QFileInfo file(path);
    if (!file.isFile())
        return std::nullopt;
    // The output's rate is known once it is open.
    m_output.preload({});
    return Version {path, file.lastModified(), file.size(), m_output.sampleRate()};
}

std::shared_ptr<const CueSamples> RecordingPlayer::keptFor(const Version& version) const
{
    const auto found = std::find_if(m_kept.begin(), m_kept.end(),
                                    [&version](const Kept& kept) { return kept.version == version; });
    return found == m_kept.end() ? nullptr : found->samples;
}

void RecordingPlayer::decode(const Version& version)
{
    if (std::find(m_decoding.begin(), m_decoding.end(), version) != m_decoding.end())
        return;
    m_decoding.push_back(version);
    m_decoder(version.path, version.rate, this,
              [this, version](std::optional<CueSamples> samples) { decoded(version, std::move(samples)); });
}

void RecordingPlayer::decoded(const Version& version, std::optional<CueSamples> samples)
{
    std::erase(m_decoding, version);
    if (!samples)
        return;
    auto kept = std::make_shared<const CueSamples>(std::move(*samples));
    forget(version.path);
    m_kept.push_front({version, kept});
    if (m_kept.size() > kKeptRecordings)
        m_kept.pop_back();
    if (m_wanted == version) {
        m_wanted.reset();
        m_output.play(kept);
    }
}

} // namespace platform
