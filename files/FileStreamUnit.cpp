// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileStreamUnit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

std::string Quoted(const char* What, const QString& FileName, const QString& SystemText) {
    return std::string(What) + " \"" + DisplayPath(FileName) + "\". " + SystemText.toStdString();
}

[[noreturn]] void FailCreate(const QString& FileName, const QFileDevice& File) {
    throw EFCreateError(Quoted("Cannot create file", FileName, File.errorString()));
}

void WriteAll(QFileDevice& File, std::string_view Bytes) {
    const auto Size = static_cast<qint64>(Bytes.size());
    if (Size > 0 && File.write(Bytes.data(), Size) != Size)
        throw EWriteError("Stream write error");
}

void WriteInPlace(const QString& FileName, std::string_view Bytes) {
    QFile File(FileName);
    if (!File.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        FailCreate(FileName, File);
    WriteAll(File, Bytes);
}

void WriteAtomically(const QString& FileName, std::string_view Bytes) {
    QSaveFile File(FileName);
    if (!File.open(QIODevice::WriteOnly))
        FailCreate(FileName, File);
    WriteAll(File, Bytes);
    if (!File.commit()) {
        if (File.error() == QFileDevice::WriteError)
            throw EWriteError("Stream write error");
        FailCreate(FileName, File);
    }
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
    const QFileInfo Info(FileName);
    if (Info.exists() && !Info.isFile() && !Info.isDir())
        WriteInPlace(FileName, Bytes);
    else
        WriteAtomically(FileName, Bytes);
}
