#pragma once

#include "platform/soundplayer.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

// Plays the parent's recordings through the sound cues' output, which is
// kept open and starts a sound in its next buffer: a recording decoded
// ahead (preload(), as its entry shows) is heard at once on play().
//
// Recordings and cues share the one output, so that starting either cuts
// off the other: the child hears the latest thing asked for, never two
// voices over each other.
class RecordingPlayer final : public QObject {
public:
    using Done = std::function<void(std::optional<CueSamples>)>;
    // Decodes the file at `path` into mono samples at `rate` and calls
    // `done` later on this thread, unless `context` is gone by then.
    // Nothing for a file that cannot be decoded.
    using Decoder = std::function<void(const QString& path, int rate, QObject* context, Done done)>;

    RecordingPlayer(SoundPlayer& output, Decoder decoder, QObject* parent = nullptr);

    // Starts decoding `path` unless its samples are kept or on their way.
    void preload(const QString& path);
    // Plays `path`, cutting off what plays. Before its samples are decoded
    // it plays as soon as they are, unless another play() came meanwhile.
    void play(const QString& path);
    // Drops what is kept for `path`: a new recording is in its place.
    void forget(const QString& path);

private:
    // One state of a file: a recording replaced in place differs in its
    // time or size, so that its old samples are never played for it.
    struct Version {
        QString path;
        QDateTime modified;
        qint64 size = 0;
        int rate = 0;
        bool operator==(const Version&) const = default;
    };
    struct Kept {
        Version version;
        std::shared_ptr<const CueSamples> samples;
    };

    std::optional<Version> versionOf(const QString& path);
    std::shared_ptr<const CueSamples> keptFor(const Version& version) const;
    void decode(const Version& version);
    void decoded(const Version& version, std::optional<CueSamples> samples);

    SoundPlayer& m_output;
    Decoder m_decoder;
    std::list<Kept> m_kept; // the latest first
    std::vector<Version> m_decoding;
    std::optional<Version> m_wanted; // played once decoded
};

} // namespace platform
