#include "platform/voicerecorder.h"

#include "platform/programdir.h"

namespace platform {

QString recordingFile(QByteArrayView entry)
{
    return userFilePath(
        QStringLiteral("recordings/%1.ogg").arg(QString::fromLatin1(entry.toByteArray().toHex())));
}

QString noMicrophoneMessage()
{
    return QStringLiteral("没有找到麦克风，无法录音。");
}

QString recordingFailedMessage()
{
    return QStringLiteral("录音没有成功，原来的录音没有改变。");
}

} // namespace platform
