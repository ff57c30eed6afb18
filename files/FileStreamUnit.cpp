// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileStreamUnit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Quoted(const char* What, const QString& FileName, const QString& SystemText) {
    return std::string(What) + " \"" + DisplayPath(FileName) + "\". " + SystemText.toStdString();
}

// Where renaming a new file over the old one would do harm, the file is
// written in place instead: a hard link would be broken off, a file owned by
// someone else (after a run with sudo) would change owner, and a folder we
// may not write would refuse the rename of a file we may write.
bool MustWriteInPlace(const QString& FileName) {
    const QByteArray Path = QFile::encodeName(FileName);
    struct stat Info {};
    if (::stat(Path.constData(), &Info) != 0 || !S_ISREG(Info.st_mode))
        return false;
    if (Info.st_nlink > 1 || Info.st_uid != ::geteuid())
        return true;
    const QByteArray Folder = QFile::encodeName(QFileInfo(FileName).absolutePath());
    return ::access(Folder.constData(), W_OK) != 0 && ::access(Path.constData(), W_OK) == 0;
}

} // namespace

std::string DisplayPath(const QString& FileName) {
    return QDir::toNativeSeparators(QFileInfo(FileName).absoluteFilePath()).toStdString();
}

std::string ReadWholeFile(const QString& FileName) {
    QFile File(FileName);
    if (!File.open(QIODevice::ReadOnly))
        throw EFOpenError(Quoted("Cannot open file", FileName, File.errorString()));
    std::string Bytes;
    const qint64 Size = File.size();
    if (Size > 0) {
        Bytes.resize(static_cast<std::size_t>(Size));
        if (File.read(Bytes.data(), Size) != Size)
            throw EPackMonException("Stream read error");
    } else {
        // Pipes and /proc files report no size: read until the end.
        const QByteArray All = File.readAll();
        Bytes.assign(All.constData(), static_cast<std::size_t>(All.size()));
    }
    return Bytes;
}

void ReplaceFileContents(const QString& FileName, std::string_view Bytes) {
    TReplacingFile File(FileName);
    File.Write(Bytes);
    File.Commit();
}

TReplacingFile::TReplacingFile(const QString& FileName, TMessages Messages) : Name(FileName), Style(Messages) {
    const QFileInfo Info(FileName);
    // Devices and pipes are written in place: renaming a file over
    // /dev/null would replace the device.
    Atomic = !(Info.exists() && !Info.isFile() && !Info.isDir()) && !MustWriteInPlace(FileName);
    if (!Atomic && Info.isFile()) {
        try {
            Previous = ReadWholeFile(FileName);
        } catch (const EPackMonException&) {
            // Unreadable but writable: nothing to put back.
        }
    }
    if (Atomic) {
        File = std::make_unique<QSaveFile>(FileName);
        if (!File->open(QIODevice::WriteOnly))
            FailCreate();
    } else {
        File = std::make_unique<QFile>(FileName);
        if (!File->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            FailCreate();
    }
}

// A file never committed leaves the previous one as it was.
TReplacingFile::~TReplacingFile() = default;

void TReplacingFile::Write(std::string_view Bytes) {
    const auto Size = static_cast<qint64>(Bytes.size());
    if (Size > 0 && File->write(Bytes.data(), Size) != Size) {
        RestorePrevious();
        FailWrite();
    }
    StartWriteBack(Size);
}

void TReplacingFile::StartWriteBack(qint64 Size) {
    // A large file goes to the disk while the rest is still being made, so
    // that the flush at the commit waits for little more than the last of it.
    constexpr qint64 Stretch = 4 << 20;
    Written += Size;
    if (Written - WrittenBack < Stretch || !File->flush())
        return;
    ::sync_file_range(File->handle(), WrittenBack, Written - WrittenBack, SYNC_FILE_RANGE_WRITE);
    WrittenBack = Written;
}

void TReplacingFile::RestorePrevious() {
    if (!Previous || !File->seek(0))
        return;
    File->resize(0);
    File->write(Previous->data(), static_cast<qint64>(Previous->size()));
    File->flush();
}

void TReplacingFile::Commit() {
    if (!Atomic) {
        if (!File->flush() || (Previous && ::fsync(File->handle()) != 0)) {
            RestorePrevious();
            FailWrite();
        }
        File->close();
        return;
    }
    auto& Saving = static_cast<QSaveFile&>(*File);
    if (!Saving.commit()) {
        if (Saving.error() == QFileDevice::WriteError)
            FailWrite();
        FailCreate();
    }
}

void TReplacingFile::FailCreate() {
    if (Style == TMessages::SystemText)
        throw EPackMonException(File->errorString().toStdString());
    throw EFCreateError(Quoted("Cannot create file", Name, File->errorString()));
}

void TReplacingFile::FailWrite() {
    if (Style == TMessages::SystemText)
        throw EPackMonException(File->errorString().toStdString());
    throw EWriteError("Stream write error");
}
