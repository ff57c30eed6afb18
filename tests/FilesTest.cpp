// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommsCaptureUnit.h"
#include "FileStreamUnit.h"
#include "PackMonFileNamesUnit.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(ChangeFileExt, ReplacesOnlyTheFileNamesExtension) {
    const struct {
        const char* Name;
        const char* Expected;
    } Cases[] = {
        {"/opt/Tools/Logger.exe", "/opt/Tools/Logger.Ini"},
        {"/opt/tools.d/PackMon", "/opt/tools.d/PackMon.Ini"},
        {"run1.txt", "run1.Ini"},
        {"run1", "run1.Ini"},
        {"archive.tar.gz", "archive.tar.Ini"},
        {"/home/u/.hidden", "/home/u/.Ini"},
        {"trailing.", "trailing.Ini"},
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(ChangeFileExt(QString::fromUtf8(Case.Name), QStringLiteral(".Ini")), QString::fromUtf8(Case.Expected))
            << Case.Name;
}

TEST(LocateFiles, BesideAWritableExecutableElseInTheUsersFolders) {
    const TPackMonFileLocations Beside = LocateFiles("/opt/pm/PackMon", true, "/cfg", "/data");
    EXPECT_EQ(Beside.IniFileName, "/opt/pm/PackMon.Ini");
    EXPECT_EQ(Beside.CommsExitFileName, "/opt/pm/PackMon.PackMonComms");
    EXPECT_EQ(Beside.GraphsExitFileName, "/opt/pm/PackMon.PackMonGraphs");
    EXPECT_EQ(Beside.ErrorsExitFileName, "/opt/pm/PackMon.Errors");

    const TPackMonFileLocations Installed =
        LocateFiles("/usr/bin/PackMon", false, "/home/u/.config/PackMon", "/home/u/.local/share/PackMon");
    EXPECT_EQ(Installed.IniFileName, "/home/u/.config/PackMon/PackMon.Ini");
    EXPECT_EQ(Installed.CommsExitFileName, "/home/u/.local/share/PackMon/PackMon.PackMonComms");
    EXPECT_EQ(Installed.GraphsExitFileName, "/home/u/.local/share/PackMon/PackMon.PackMonGraphs");
    EXPECT_EQ(Installed.ErrorsExitFileName, "/home/u/.local/share/PackMon/PackMon.Errors");
}

TEST(NormaliseLineEnds, MakesEveryLineEndCrLf) {
    const struct {
        std::string In;
        std::string Out;
    } Cases[] = {
        {"", ""},
        {"$a\r\n$b\r\n", "$a\r\n$b\r\n"},
        {"$a\n$b\n", "$a\r\n$b\r\n"},
        {"$a\r$b\r", "$a\r\n$b\r\n"},
        {"$a\r\n$b\n$c\r$d", "$a\r\n$b\r\n$c\r\n$d"},
        {"\n\r\r\n", "\r\n\r\n\r\n"},
        {"\r", "\r\n"},
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(NormaliseLineEnds(Case.In), Case.Out);
}

class FileStream : public testing::Test {
  protected:
    QTemporaryDir Dir;
    QString Path(const char* Name) const { return Dir.filePath(QString::fromLatin1(Name)); }
};

TEST_F(FileStream, ReplacingAFileWritesExactlyTheBytesAndLeavesNoTemporaryBehind) {
    const QString Name = Path("capture.PackMonComms");
    ReplaceFileContents(Name, "old content that is longer");
    const std::string Bytes("$1;\0;x\r\n\xff", 9);
    ReplaceFileContents(Name, Bytes);
    EXPECT_EQ(ReadWholeFile(Name), Bytes);
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"capture.PackMonComms"});
    ReplaceFileContents(Name, "");
    EXPECT_EQ(QFile(Name).size(), 0);
}

TEST_F(FileStream, InPlaceWhereARenameWouldHarmKeepingLinksOwnerAndMode) {
    const QString Name = Path("linked.PackMonComms");
    ReplaceFileContents(Name, "old");
    const QByteArray Linked = QFile::encodeName(Path("other-name"));
    ASSERT_EQ(::link(QFile::encodeName(Name).constData(), Linked.constData()), 0);
    ReplaceFileContents(Name, "new");
    EXPECT_EQ(ReadWholeFile(QString::fromLocal8Bit(Linked)), "new") << "the hard link still shares the file";

    struct stat Info {};
    if (::geteuid() == 0) {
        const QByteArray Owned = QFile::encodeName(Path("theirs.Ini"));
        ReplaceFileContents(Path("theirs.Ini"), "old");
        ASSERT_EQ(::chown(Owned.constData(), 65534, 65534), 0);
        ::chmod(Owned.constData(), 0640);
        ReplaceFileContents(Path("theirs.Ini"), "new");
        ::stat(Owned.constData(), &Info);
        EXPECT_EQ(Info.st_uid, 65534u) << "a run with sudo leaves the user's file theirs";
        EXPECT_EQ(Info.st_mode & 0777, 0640u);
        EXPECT_EQ(ReadWholeFile(Path("theirs.Ini")), "new");
    } else {
        // A writable file in a folder we may not write: no rename is possible.
        QDir(Dir.path()).mkdir("locked");
        ReplaceFileContents(Path("locked/PackMon.Ini"), "old");
        ::chmod(QFile::encodeName(Path("locked")).constData(), 0555);
        ReplaceFileContents(Path("locked/PackMon.Ini"), "new");
        EXPECT_EQ(ReadWholeFile(Path("locked/PackMon.Ini")), "new");
        ::chmod(QFile::encodeName(Path("locked")).constData(), 0755);
    }
}

TEST_F(FileStream, FailuresCarryTheFullPathAndTheSystemsText) {
    const QString Missing = Path("no/such/folder/x.PackMonComms");
    EXPECT_EQ(Failure([&] { ReplaceFileContents(Missing, "x"); }),
              "Cannot create file \"" + DisplayPath(Missing) + "\". No such file or directory");
    EXPECT_EQ(Failure([&] { ReadWholeFile(Missing); }),
              "Cannot open file \"" + DisplayPath(Missing) + "\". No such file or directory");
    EXPECT_EQ(Failure([&] { ReplaceFileContents(Dir.path(), "x"); }).rfind("Cannot create file \"", 0), 0u);
}

TEST_F(FileStream, FullDeviceIsAStreamWriteErrorAndIsNotReplaced) {
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    EXPECT_EQ(Failure([] { ReplaceFileContents("/dev/full", "some bytes"); }), "Stream write error");
    EXPECT_FALSE(QFileInfo("/dev/full").isFile()) << "the device must still be a device";
}

TEST_F(FileStream, CaptureIsLoadedWithNormalisedLineEnds) {
    const QString Name = Path("unix.PackMonComms");
    ReplaceFileContents(Name, "$TIMEVALUE;1000\n$1;0;0;1;2;3;4;5;6;7;8;9\n");
    EXPECT_EQ(LoadCommsCaptureText(Name), "$TIMEVALUE;1000\r\n$1;0;0;1;2;3;4;5;6;7;8;9\r\n");
}

} // namespace
