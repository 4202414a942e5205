// GBK both ways: decoding never fails; text that encodes decodes back to
// itself and holds no foreign run's mark; encode refuses exactly the text in
// which firstUnencodable finds a character; prefixLength never cuts a
// double-byte character in half.
#include "fuzz/fuzzcheck.h"
#include "platform/gbk.h"

#include <QString>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

namespace gbk = platform::gbk;

bool hasUnpairedSurrogate(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return true;
    }
    return false;
}

void checkEncode(QStringView text)
{
    const std::optional<QByteArray> bytes = gbk::encode(text);
    // Half a surrogate pair has no GBK form: refused, never dropped.
    if (hasUnpairedSurrogate(text))
        FUZZ_CHECK(!bytes.has_value());
    FUZZ_CHECK(bytes.has_value() != gbk::firstUnencodable(text).has_value());
    if (bytes) {
        FUZZ_CHECK(gbk::decode(*bytes) == text);
        FUZZ_CHECK(!bytes->contains(gbk::kForeignMark));
    }
}

// Where the character that holds byte `end - 1` starts, scanning from the
// front: a lead byte takes the next byte with it.
bool endsInLoneLeadByte(QByteArrayView bytes, qsizetype end)
{
    qsizetype i = 0;
    while (i < end) {
        if (gbk::isLeadByte(static_cast<unsigned char>(bytes[i])) && i + 1 < bytes.size()) {
            if (i + 1 == end)
                return true; // the prefix keeps the lead byte without its trail
            i += 2;
        } else {
            if (gbk::isLeadByte(static_cast<unsigned char>(bytes[i])) && i + 1 == end)
                return true; // a lead byte that ends the text
            i += 1;
        }
    }
    return false;
}

void checkPrefixLength(QByteArrayView bytes, qsizetype limit)
{
    const qsizetype length = gbk::prefixLength(bytes, limit);
    const qsizetype most = std::min(limit, bytes.size());
    FUZZ_CHECK(length >= 0 && length <= most);
    FUZZ_CHECK(length >= most - 1);
    FUZZ_CHECK(!endsInLoneLeadByte(bytes, length));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString decoded = gbk::decode(bytes);
    checkEncode(decoded);
    // The same bytes read as UTF-16: any text a user may type or paste.
    QString typed(qsizetype(size / 2), Qt::Uninitialized);
    std::memcpy(typed.data(), data, size / 2 * 2);
    checkEncode(typed);
    const qsizetype limit = size == 0 ? 0 : qsizetype(data[0]) % (qsizetype(size) + 4);
    checkPrefixLength(bytes, limit);
    checkPrefixLength(bytes, std::numeric_limits<qsizetype>::max());
    return 0;
}
