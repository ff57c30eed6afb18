// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "PackMonFileNamesUnit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

qsizetype NameStart(const QString& FileName) {
    qsizetype Slash = FileName.lastIndexOf(QLatin1Char('/'));
#ifdef Q_OS_WIN
    Slash = std::max({Slash, FileName.lastIndexOf(QLatin1Char('\\')), FileName.lastIndexOf(QLatin1Char(':'))});
#endif
    return Slash + 1;
}

QString InFolder(const QString& Folder, const QString& ExePath, const QString& Extension) {
    const QString Name = ChangeFileExt(ExePath.mid(NameStart(ExePath)), Extension);
    return QDir(Folder).filePath(Name);
}

} // namespace

QString ChangeFileExt(const QString& FileName, const QString& Extension) {
    const qsizetype Start = NameStart(FileName);
    const qsizetype Dot = FileName.lastIndexOf(QLatin1Char('.'));
    const QString Stem = Dot >= Start ? FileName.left(Dot) : FileName;
    return Stem + Extension;
}

QString SaveFileName(const QString& Chosen, const QString& Extension) {
    if (QFileInfo::exists(Chosen) || Chosen.endsWith(Extension, Qt::CaseInsensitive))
        return Chosen;
    return ChangeFileExt(Chosen, Extension);
}

TPackMonFileLocations LocateFiles(const QString& ExePath, bool ExeFolderWritable, const QString& ConfigFolder,
                                  const QString& DataFolder) {
    if (ExeFolderWritable)
        return {ChangeFileExt(ExePath, IniFileExtension), ChangeFileExt(ExePath, CommsFileExtension),
                ChangeFileExt(ExePath, GraphsFileExtension), ChangeFileExt(ExePath, ErrorsFileExtension)};
    return {InFolder(ConfigFolder, ExePath, IniFileExtension), InFolder(DataFolder, ExePath, CommsFileExtension),
            InFolder(DataFolder, ExePath, GraphsFileExtension), InFolder(DataFolder, ExePath, ErrorsFileExtension)};
}

namespace {

TPackMonFileLocations LocateFilesFor(const QString& ExePath) {
    const bool Writable = QFileInfo(QFileInfo(ExePath).absolutePath()).isWritable();
    if (Writable)
        return LocateFiles(ExePath, true, {}, {});
    const QString Config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    const QString Data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(Config);
    QDir().mkpath(Data);
    return LocateFiles(ExePath, false, Config, Data);
}

} // namespace

TPackMonFileLocations LocateFilesForThisProgram() { return LocateFilesFor(QCoreApplication::applicationFilePath()); }

TPackMonFileLocations LocateWindowFiles() {
    const QDir Folder = QFileInfo(QCoreApplication::applicationFilePath()).absoluteDir();
    QString Window = Folder.filePath(QStringLiteral("PackMon"));
    if (const QString Built = QDir::cleanPath(Folder.filePath(QStringLiteral("../app/PackMon")));
        !QFileInfo::exists(Window) && QFileInfo::exists(Built))
        Window = Built;
    // The user's folders are named after the window, whichever tool asks.
    const QString Name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("PackMon"));
    TPackMonFileLocations Locations = LocateFilesFor(Window);
    QCoreApplication::setApplicationName(Name);
    return Locations;
}
