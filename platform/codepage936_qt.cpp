#include "platform/codepage936.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace platform::codepage936 {

namespace {
// Qt resolves this name through ICU to the exact Windows code page 936
// (0x80 is the euro sign), not to the wider GB 18030.
constexpr const char* kCodecName = "windows-936";
} // namespace

QString decode(QByteArrayView bytes)
{
    QStringDecoder decoder(kCodecName);
    return decoder.decode(bytes);
}

Encoded encode(QStringView text)
{
    QStringEncoder encoder(kCodecName);
    Encoded encoded;
    encoded.bytes = encoder.encode(text);
    encoded.complete = !encoder.hasError();
    return encoded;
}

} // namespace platform::codepage936
