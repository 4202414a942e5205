// The sound cues without a sound card: the WAV decoder, the stream of samples
// that the output plays, and the player's choice between a cue and the
// default sound; the parent's recordings, decoded ahead, on the same output.
#include "platform/recordingplayer.h"
#include "platform/soundplayer.h"

#include "tests/support/programfolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QtEndian>

#include <gtest/gtest.h>

#include <thread>

namespace {

using platform::CueSamples;
using platform::CueStream;
using platform::decodeWav;
using platform::RecordingPlayer;
using platform::SoundPlayer;
using testing_support::ProgramFolder;

QByteArray le16(int value)
{
    QByteArray bytes(2, '\0');
    qToLittleEndian<quint16>(quint16(value), bytes.data());
    return bytes;
}

QByteArray le32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian<quint32>(value, bytes.data());
    return bytes;
}

QByteArray chunk(const QByteArray& id, const QByteArray& body)
{
    QByteArray bytes = id + le32(quint32(body.size())) + body;
    if (body.size() % 2)
        bytes += '\0';
    return bytes;
}

QByteArray formatChunk(int channels, int rate, int bits, int tag = 1)
{
    const int blockAlign = channels * bits / 8;
    return chunk("fmt ", le16(tag) + le16(channels) + le32(rate) + le32(rate * blockAlign) + le16(blockAlign)
                             + le16(bits));
}

QByteArray riff(const QByteArray& chunks)
{
    return "RIFF" + le32(quint32(chunks.size() + 4)) + "WAVE" + chunks;
}

QByteArray samples16(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (int value : values)
        bytes += le16(value);
    return bytes;
}

QByteArray monoWav(std::initializer_list<int> values, int rate = 22050)
{
    return riff(formatChunk(1, rate, 16) + chunk("data", samples16(values)));
}

QByteArray readSourceFile(const QString& relative)
{
    QFile file(QStringLiteral(QUENLO_SOURCE_DIR "/") + relative);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// ---- Decoding

TEST(DecodeWav, ShippedCuesComeOutSampleForSample)
{
    for (const char* name : {"fenling.WAV", "xiayige.wav", "guzhang.WAV", "cuo.wav"}) {
        const QByteArray file = readSourceFile(QStringLiteral("Sound/") + QLatin1String(name));
        ASSERT_FALSE(file.isEmpty()) << name;
        const std::optional<CueSamples> cue = decodeWav(file, 22050);
        ASSERT_TRUE(cue) << name;
        const QByteArray data = file.mid(44); // their "data" chunk follows a plain header
        ASSERT_EQ(cue->size(), std::size_t(data.size() / 2)) << name;
        for (std::size_t i = 0; i < cue->size(); i += 997)
            EXPECT_EQ((*cue)[i], qFromLittleEndian<qint16>(data.constData() + 2 * i))
                << name << " sample " << i;
    }
}

TEST(DecodeWav, OtherChunksAnywhereAreSkipped)
{
    const QByteArray data = chunk("data", samples16({1, -2, 3}));
    const QByteArray list = chunk("LIST", "INFOabc"); // odd size: a pad byte follows
    EXPECT_EQ(decodeWav(riff(list + formatChunk(1, 22050, 16) + chunk("fact", le32(3)) + data), 22050),
              (CueSamples {1, -2, 3}));
    EXPECT_EQ(decodeWav(riff(data + formatChunk(1, 22050, 16)), 22050), (CueSamples {1, -2, 3}))
        << "the sound before its format";
    EXPECT_EQ(decodeWav(riff(formatChunk(1, 22050, 16) + data) + "junk", 22050), (CueSamples {1, -2, 3}))
        << "bytes after the sound";
}

TEST(DecodeWav, EightBitAndStereoBecomeMonoSixteenBit)
{
    const QByteArray eightBit = riff(formatChunk(1, 22050, 8) + chunk("data", QByteArray("\x80\xff\x00", 3)));
    EXPECT_EQ(decodeWav(eightBit, 22050), (CueSamples {0, 127 * 256, -32768}))
        << "unsigned around the middle";
    const QByteArray wav = riff(formatChunk(2, 22050, 16)
                                + chunk("data", samples16({1000, -1000, 2000, 4000, -32768, -32768})));
    EXPECT_EQ(decodeWav(wav, 22050), (CueSamples {0, 3000, -32768}));
    const QByteArray stereo8 = riff(formatChunk(2, 22050, 8)
                                    + chunk("data", QByteArray("\xff\x01\x90\x90\x80", 5)));
    EXPECT_EQ(decodeWav(stereo8, 22050), (CueSamples {0, 16 * 256})) << "the odd byte is no frame";
}

TEST(DecodeWav, OtherRatesAreResampledLinearly)
{
    EXPECT_EQ(decodeWav(monoWav({0, 1000, 2000}, 11025), 22050),
              (CueSamples {0, 500, 1000, 1500, 2000, 2000}));
    EXPECT_EQ(decodeWav(monoWav({0, 1, 2, 3, 4, 5}, 44100), 22050), (CueSamples {0, 2, 4}));
    EXPECT_EQ(decodeWav(monoWav({0, 300, 600}, 22050), 33075), (CueSamples {0, 200, 400, 600}));
    // A second of sound stays a second long.
    const QByteArray second = riff(formatChunk(1, 22050, 16) + chunk("data", QByteArray(2 * 22050, '\0')));
    EXPECT_EQ(decodeWav(second, 48000)->size(), 48000u);
}

TEST(DecodeWav, ExtensibleHeaderWithPlainSamplesIsAccepted)
{
    QByteArray extensible = le16(0xFFFE) + le16(1) + le32(22050) + le32(44100) + le16(2) + le16(16);
    extensible += le16(22) + le16(16) + le32(4) + le16(1) + QByteArray(14, '\x11'); // PCM sub-format
    EXPECT_EQ(decodeWav(riff(chunk("fmt ", extensible) + chunk("data", samples16({7}))), 22050),
              (CueSamples {7}));
    extensible[24] = 3; // floating-point sub-format
    EXPECT_FALSE(decodeWav(riff(chunk("fmt ", extensible) + chunk("data", samples16({7}))), 22050));
}

TEST(DecodeWav, AnythingElseIsRefused)
{
    const QByteArray good = monoWav({1, 2, 3, 4});
    ASSERT_TRUE(decodeWav(good, 22050));
    EXPECT_FALSE(decodeWav(QByteArray(), 22050)) << "empty";
    EXPECT_FALSE(decodeWav("this is not a sound at all, just some text", 22050)) << "garbage";
    EXPECT_FALSE(decodeWav(QByteArray(good).replace(8, 4, "AVI "), 22050)) << "another RIFF form";
    EXPECT_FALSE(decodeWav(good.left(good.size() - 3), 22050)) << "cut off in the samples";
    EXPECT_FALSE(decodeWav(good.left(30), 22050)) << "cut off in the format";
    EXPECT_FALSE(decodeWav(riff(formatChunk(1, 22050, 16)), 22050)) << "no samples chunk";
    EXPECT_FALSE(decodeWav(riff(chunk("data", samples16({1}))), 22050)) << "no format chunk";
    EXPECT_FALSE(decodeWav(riff(formatChunk(1, 22050, 32, 3) + chunk("data", le32(0))), 22050))
        << "floating point";
    EXPECT_FALSE(decodeWav(riff(formatChunk(1, 22050, 4, 17) + chunk("data", le32(0))), 22050)) << "ADPCM";
    EXPECT_FALSE(decodeWav(riff(formatChunk(1, 22050, 24) + chunk("data", QByteArray(6, '\0'))), 22050))
        << "24 bits";
    EXPECT_FALSE(decodeWav(riff(formatChunk(3, 22050, 16) + chunk("data", QByteArray(6, '\0'))), 22050))
        << "3 channels";
    EXPECT_FALSE(decodeWav(riff(chunk("fmt ", le16(1) + le16(1))) + chunk("data", samples16({1})), 22050))
        << "short format chunk";
}

// ---- The stream the output plays

CueSamples readFrames(CueStream& stream, int frames)
{
    QByteArray bytes(frames * stream.bytesPerFrame(), '\x55');
    EXPECT_EQ(stream.read(bytes.data(), bytes.size()), bytes.size());
    CueSamples samples(std::size_t(bytes.size() / 2));
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = qFromLittleEndian<qint16>(bytes.constData() + 2 * i);
    return samples;
}

std::shared_ptr<const CueSamples> cue(std::initializer_list<qint16> samples)
{
    return std::make_shared<const CueSamples>(samples);
}

class CueStreamTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(stream.open(QIODevice::ReadOnly | QIODevice::Unbuffered)); }

    CueStream stream;
};

TEST_F(CueStreamTest, SilenceInWholeFramesExceptWhileACuePlays)
{
    char bytes[5];
    EXPECT_EQ(stream.read(bytes, 5), 4) << "half a frame is left for the next read";
    EXPECT_EQ(readFrames(stream, 2), (CueSamples {0, 0}));
    stream.start(cue({1, 2, 3, 4, 5}));
    EXPECT_TRUE(stream.isPlaying());
    EXPECT_EQ(readFrames(stream, 3), (CueSamples {1, 2, 3}));
    EXPECT_EQ(readFrames(stream, 4), (CueSamples {4, 5, 0, 0}));
    EXPECT_FALSE(stream.isPlaying());
    EXPECT_EQ(readFrames(stream, 2), (CueSamples {0, 0}));
}

TEST_F(CueStreamTest, StartCutsOffThePlayingCueAtOnceAndStopSilences)
{
    const auto step = cue({1, 2, 3, 4});
    stream.start(step);
    EXPECT_EQ(readFrames(stream, 2), (CueSamples {1, 2}));
    stream.start(cue({-7, -8}));
    EXPECT_EQ(readFrames(stream, 3), (CueSamples {-7, -8, 0}));
    stream.start(step);
    EXPECT_EQ(readFrames(stream, 3), (CueSamples {1, 2, 3}));
    stream.start(step);
    EXPECT_EQ(readFrames(stream, 2), (CueSamples {1, 2})) << "the same cue again starts from its beginning";
    stream.stop();
    EXPECT_FALSE(stream.isPlaying());
    EXPECT_EQ(readFrames(stream, 2), (CueSamples {0, 0}));
}

TEST_F(CueStreamTest, EveryChannelGetsTheSample)
{
    stream.setChannelCount(2);
    stream.start(cue({5, -6}));
    EXPECT_EQ(readFrames(stream, 3), (CueSamples {5, 5, -6, -6, 0, 0}));
}

TEST_F(CueStreamTest, HandoverIsNotedWhenTheCueIsFirstRead)
{
    EXPECT_FALSE(stream.lastHandover());
    stream.start(cue({1, 2}));
    stream.stop();
    readFrames(stream, 2);
    EXPECT_FALSE(stream.lastHandover()) << "a cue stopped before it was read was never handed over";

    stream.start(cue({1, 2, 3}));
    const auto asked = CueStream::Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    readFrames(stream, 1);
    const auto handover = stream.lastHandover();
    ASSERT_TRUE(handover);
    EXPECT_LE(handover->asked, asked);
    EXPECT_GE(handover->handed - handover->asked, std::chrono::milliseconds(2));
}

// ---- The player

class SoundPlayerTest : public ::testing::Test {
protected:
    SoundPlayerTest()
        : player(SoundPlayer::Output::None, [this] { ++defaultSounds; })
    {
        folder.copySounds();
        EXPECT_TRUE(player.stream().isOpen());
    }

    QString sound(const char* name) const
    {
        return folder.path(QStringLiteral("Sound/") + QLatin1String(name));
    }
    CueSamples firstSamples(int count) { return readFrames(player.stream(), count); }

    ProgramFolder folder;
    int defaultSounds = 0;
    SoundPlayer player;
};

TEST_F(SoundPlayerTest, PlaysTheFilesSamples)
{
    folder.writeFile(QStringLiteral("Sound/beep.wav"), monoWav({10, 20, 30}));
    player.play(sound("beep.wav"));
    EXPECT_EQ(firstSamples(4), (CueSamples {10, 20, 30, 0}));
    EXPECT_EQ(defaultSounds, 0);
}

TEST_F(SoundPlayerTest, MissingOrUnreadableFilePlaysTheDefaultSoundInstead)
{
    folder.writeFile(QStringLiteral("Sound/float.wav"),
                     riff(formatChunk(1, 22050, 32, 3) + chunk("data", le32(0))));
    folder.writeFile(QStringLiteral("Sound/empty.wav"), {});
    for (const char* name : {"nothere.wav", "float.wav", "empty.wav"}) {
        player.play(sound("xiayige.wav"));
        ASSERT_TRUE(player.stream().isPlaying());
        const int before = defaultSounds;
        player.play(sound(name));
        EXPECT_EQ(defaultSounds, before + 1) << name;
        EXPECT_FALSE(player.stream().isPlaying()) << name << " must stop the cue that was playing";
    }
    QDir(folder.path()).mkdir(QStringLiteral("Sound/folder.wav"));
    player.play(sound("folder.wav"));
    EXPECT_EQ(defaultSounds, 4) << "a folder is no sound";
}

TEST_F(SoundPlayerTest, PreloadedCueIsDecodedOnceButARemovedOneIsMissing)
{
    folder.writeFile(QStringLiteral("Sound/beep.wav"), monoWav({10, 20, 30}));
    player.preload({sound("beep.wav"), sound("nothere.wav")});
    EXPECT_EQ(defaultSounds, 0) << "preloading a missing file makes no sound";
    folder.writeFile(QStringLiteral("Sound/beep.wav"), monoWav({-1, -2}));
    player.play(sound("beep.wav"));
    EXPECT_EQ(firstSamples(3), (CueSamples {10, 20, 30})) << "played from memory, not read again";

    QFile::remove(sound("beep.wav"));
    player.play(sound("beep.wav"));
    EXPECT_EQ(defaultSounds, 1);

    player.play(sound("cuo.wav"));
    player.release();
    EXPECT_FALSE(player.stream().isPlaying()) << "released";
    player.play(sound("cuo.wav"));
    EXPECT_TRUE(player.stream().isPlaying()) << "and playing again";
}

// ---- The parent's recordings

// Decodes when the test says so, reading the file as it is then, like a
// decoder that runs behind the screen.
class RecordingPlayerTest : public SoundPlayerTest {
protected:
    QString recording(const char* name) const { return folder.path(QLatin1String(name)); }
    void record(const char* name, std::initializer_list<int> samples)
    {
        folder.writeFile(QLatin1String(name), monoWav(samples));
    }
    void finishDecoding()
    {
        for (auto& [path, rate, done] : std::exchange(pending, {})) {
            QFile file(path);
            done(file.open(QIODevice::ReadOnly) ? decodeWav(file.readAll(), rate) : std::nullopt);
        }
    }

    std::vector<std::tuple<QString, int, RecordingPlayer::Done>> pending;
    RecordingPlayer recordings {player,
                                [this](const QString& path, int rate, QObject*, RecordingPlayer::Done done) {
                                    pending.emplace_back(path, rate, std::move(done));
                                }};
};

TEST_F(RecordingPlayerTest, VBeforeTheDecodeEndsPlaysOnceItEndsUnlessAnotherVCameMeanwhile)
{
    record("da.wav", {1, 2});
    record("xiao.wav", {3, 4});
    recordings.play(recording("da.wav"));
    recordings.play(recording("da.wav"));
    EXPECT_FALSE(player.stream().isPlaying()) << "the screen does not wait for the decoder";
    ASSERT_EQ(pending.size(), 1u) << "one decode for both";
    finishDecoding();
    EXPECT_EQ(firstSamples(3), (CueSamples {1, 2, 0}));

    recordings.preload(recording("xiao.wav"));
    recordings.play(recording("xiao.wav"));
    record("nothere.wav", {});
    QFile::remove(recording("nothere.wav"));
    recordings.play(recording("nothere.wav"));
    recordings.play(recording("da.wav"));
    EXPECT_EQ(firstSamples(1), (CueSamples {1})) << "kept, played at once";
    finishDecoding();
    EXPECT_EQ(firstSamples(2), (CueSamples {2, 0})) << "the V before it is not played late";
    recordings.play(recording("xiao.wav"));
    EXPECT_EQ(firstSamples(2), (CueSamples {3, 4})) << "but kept";
}

TEST_F(RecordingPlayerTest, ARecordingMadeAgainNeverPlaysTheOldSamples)
{
    const struct {
        const char* how;
        std::initializer_list<int> again;
        bool forget;
    } cases[] = {
        {"longer", {7, 8, 9}, false},
        {"as long, same time, and the recorder says it is new", {7, 8}, true},
    };
    for (const auto& each : cases) {
        record("da.wav", {1, 2});
        recordings.preload(recording("da.wav"));
        finishDecoding();
        const QDateTime modified = QFileInfo(recording("da.wav")).lastModified();
        record("da.wav", each.again);
        QFile file(recording("da.wav"));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.setFileTime(modified, QFileDevice::FileModificationTime);
        file.close();
        if (each.forget)
            recordings.forget(recording("da.wav"));
        recordings.play(recording("da.wav"));
        EXPECT_FALSE(player.stream().isPlaying()) << each.how;
        finishDecoding();
        EXPECT_EQ(firstSamples(2), (CueSamples {7, 8})) << each.how;
        player.stream().stop();
    }
}

} // namespace
