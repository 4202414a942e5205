// Replacing a file on Windows: Win32 handles, FlushFileBuffers and
// MoveFileEx, which replaces the old file in one step.

#include "platform/filereplace.h"

#include <QDir>
#include <QRandomGenerator>

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>

namespace platform::filereplace {

namespace {

// The system's own words for a Win32 error, in the user's language.
WriteResult windowsFailure(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString reason = length ? QString::fromWCharArray(text, int(length)).trimmed()
                            : QStringLiteral("Windows error %1").arg(error);
    LocalFree(text);
    return {reason};
}

WriteResult lastFailure()
{
    return windowsFailure(GetLastError());
}

std::wstring nativeName(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

// Closes a handle once, on every path out of a write.
class Handle {
public:
    explicit Handle(HANDLE handle)
        : m_handle(handle)
    {
    }
    ~Handle()
    {
        if (isOpen())
            CloseHandle(m_handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE get() const { return m_handle; }
    bool isOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    // Closes now; a failed close counts as a failed write.
    bool close()
    {
        const HANDLE handle = std::exchange(m_handle, INVALID_HANDLE_VALUE);
        return CloseHandle(handle);
    }

private:
    HANDLE m_handle;
};

bool writeAll(HANDLE file, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = DWORD(std::min<qsizetype>(bytes.size() - done, 1 << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.constData() + done, chunk, &written, nullptr))
            return false;
        if (written == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        done += written;
    }
    return true;
}

bool setSize(HANDLE file, qint64 size)
{
    LARGE_INTEGER position;
    position.QuadPart = size;
    return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

bool rewind(HANDLE file)
{
    LARGE_INTEGER start {};
    return SetFilePointerEx(file, start, nullptr, FILE_BEGIN);
}

// A new file beside `target`, named after it, that no one else has.
Handle createTemporaryBeside(const std::wstring& target, std::wstring& temporary)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = target + L'.'
                    + QString::number(QRandomGenerator::global()->generate(), 36).toStdWString();
        const HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return Handle(file);
    }
    return Handle(INVALID_HANDLE_VALUE);
}

} // namespace

std::optional<WriteResult> replaceThroughTemporary(const QString& path, const QByteArray& bytes)
{
    const std::wstring target = nativeName(path);
    std::wstring temporary;
    Handle file = createTemporaryBeside(target, temporary);
    if (!file.isOpen()) {
        if (GetLastError() == ERROR_ACCESS_DENIED)
            return std::nullopt;
        return lastFailure();
    }
    const auto discard = [&] {
        const DWORD error = GetLastError();
        if (file.isOpen())
            file.close();
        DeleteFileW(temporary.c_str());
        return windowsFailure(error);
    };
    if (!writeAll(file.get(), bytes) || !FlushFileBuffers(file.get()) || !file.close())
        return discard();
    if (!MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return discard();
    return WriteResult {};
}

WriteResult writeInPlace(const QString& path, const QByteArray& bytes)
{
    Handle file(CreateFileW(nativeName(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isOpen())
        return lastFailure();
    LARGE_INTEGER oldSize {};
    if (!GetFileSizeEx(file.get(), &oldSize))
        return lastFailure();
    if (bytes.size() > oldSize.QuadPart && !setSize(file.get(), bytes.size())) {
        const WriteResult failure = lastFailure();
        // Whatever was claimed beyond the old end goes again.
        setSize(file.get(), oldSize.QuadPart);
        return failure;
    }
    if (!rewind(file.get()) || !writeAll(file.get(), bytes) || !setSize(file.get(), bytes.size())
        || !FlushFileBuffers(file.get()) || !file.close())
        return lastFailure();
    return {};
}

} // namespace platform::filereplace
