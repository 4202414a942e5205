#pragma once

#include <QFile>
#include <QString>

#include <memory>
#include <mutex>

namespace core {

// A read-only data file mapped into memory the first time it is used and
// kept mapped until the end. `Reader` makes sense of the bytes: it is
// default-constructible and has `bool read(const uchar* data, qsizetype
// size)`, which keeps pointers into the mapping and says whether the bytes
// are a file it can read. A file that is missing, can't be mapped or is
// refused reads as absent. Safe to use from several threads.
template <typename Reader> class MappedDataFile {
public:
    explicit MappedDataFile(QString path)
        : m_path(std::move(path))
    {
    }

    // The reader, or nothing when the file can't be read.
    const Reader* get() const
    {
        std::call_once(m_openOnce, [this] {
            auto opened = std::make_unique<Opened>();
            opened->file.setFileName(m_path);
            if (!opened->file.open(QIODevice::ReadOnly) || opened->file.size() == 0)
                return;
            const uchar* data = opened->file.map(0, opened->file.size());
            if (data && opened->reader.read(data, opened->file.size()))
                m_opened = std::move(opened);
        });
        return m_opened ? &m_opened->reader : nullptr;
    }

private:
    struct Opened {
        QFile file;
        Reader reader;
    };

    QString m_path;
    mutable std::once_flag m_openOnce;
    mutable std::unique_ptr<Opened> m_opened;
};

} // namespace core
