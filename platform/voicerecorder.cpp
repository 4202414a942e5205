#include "platform/voicerecorder.h"

#include "platform/programdir.h"

namespace platform {

QString recordingFile(QByteArrayView entry)
{
#ifdef Q_OS_WIN
    const QString format = QStringLiteral("wav");
#else
    const QString format = QStringLiteral("ogg");
#endif
    return userFilePath(
        QStringLiteral("recordings/%1.%2").arg(QString::fromLatin1(entry.toByteArray().toHex()), format));
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
