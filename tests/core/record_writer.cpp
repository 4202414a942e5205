// Test helper: records judgements one at a time and prints how many are
// written after each one, so a test can kill it at any moment and know what
// must have survived. Prints the record's failure message, if any, at the end.
//
// Usage: record_writer <record file> <judgements>

#include "core/record.h"
#include "tests/core/entries.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    core::Record record(QString::fromLocal8Bit(argv[1]));
    const int count = QByteArray(argv[2]).toInt();
    for (int i = 0; i < count; ++i) {
        // 37 distinct two-byte GBK entries.
        const QByteArray entry = twoByteEntry(i % 37);
        record.judge(entry, i % 3 != 0);
        record.flush();
        std::printf("%d\n", i + 1);
        std::fflush(stdout);
    }
    const QString failure = record.failureMessage();
    if (!failure.isEmpty())
        std::printf("failure: %s\n", failure.toUtf8().constData());
    return 0;
}
