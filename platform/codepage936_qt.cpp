#include "platform/codepage936.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <optional>

namespace platform::codepage936 {

namespace {

// Qt resolves this name through ICU to the exact Windows code page 936
// (0x80 is the euro sign), not to the wider GB 18030.
constexpr const char* kCodecName = "windows-936";

// Opening an ICU converter costs more than converting a line: each thread
// keeps one of each, reset before every use.
QStringDecoder& threadsDecoder()
{
    thread_local QStringDecoder decoder(kCodecName);
    decoder.resetState();
    return decoder;
}

QStringEncoder& threadsEncoder()
{
    thread_local std::optional<QStringEncoder> encoder;
    // resetState() leaves an error set: a fresh one then.
    if (!encoder || encoder->hasError())
        encoder.emplace(kCodecName);
    encoder->resetState();
    return *encoder;
}

} // namespace

QString decode(QByteArrayView bytes)
{
    return threadsDecoder().decode(bytes);
}

Encoded encode(QStringView text)
{
    QStringEncoder& encoder = threadsEncoder();
    Encoded encoded;
    encoded.bytes = encoder.encode(text);
    encoded.complete = !encoder.hasError();
    return encoded;
}

} // namespace platform::codepage936
