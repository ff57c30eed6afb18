// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartUnit.h"
#include "EventLoopSupport.h"
#include "FileStreamUnit.h"
#include "FormSupport.h"
#include "LiveSessionUnit.h"
#include "MainFormUnit.h"
#include "MemoPaneUnit.h"
#include "PackMonCommsThreadUnit.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

class FaultInjection : public testing::Test {
  protected:
    QTemporaryDir Dir;
    TPackMonFileLocations Files = LocateFiles(Dir.filePath("PackMon"), true, {}, {});
    std::unique_ptr<TQuietForm> Form;

    void SetUp() override { Form = std::make_unique<TQuietForm>(Files); }
    TMemoPane* Errors() const { return Form->findChild<TMemoPane*>("ErrorsMemo"); }
    std::string LastError() const {
        return Errors()->LineCount() == 0 ? std::string()
                                          : std::string(Errors()->Line(Errors()->LineCount() - 1)).substr(24);
    }
    void Answer(const QString& Name) {
        Form->ExecuteFileDialog = [Name](QFileDialog&) { return std::optional<QString>(Name); };
    }
    std::size_t Points() const { return Form->Chart1->Series(1).Count(); }
};

TEST_F(FaultInjection, CaptureLargerThanTheReceiveBufferIsShownButNotReplayed) {
    std::string Text = NumberedRecords(1, 10);
    Text.resize(MaxRxedStringLength + 1, 'x');
    ReplaceFileContents(Dir.filePath("huge.PackMonComms"), Text);
    Text.clear();
    Form->LoadCommsFile(Dir.filePath("huge.PackMonComms"));
    ASSERT_TRUE(ServeUntil([&] { return Errors()->LineCount() > 0; }));
    EXPECT_EQ(LastError(), "RxedString too long");
    EXPECT_EQ(Points(), 0u);
    EXPECT_EQ(Form->findChild<TMemoPane*>("CommsMemo")->Text().size(), MaxRxedStringLength + 1);
}

TEST_F(FaultInjection, UnreadableCaptureLeavesNoThreadAndAClearedChart) {
    TReadingRecord R;
    R.Kind = rkData;
    R.CellVolts[0] = 3.3;
    Form->HandleReading(R);
    QDir(Dir.path()).mkdir("folder.PackMonComms");
    Answer(Dir.filePath("folder.PackMonComms"));
    Form->findChild<QAction*>("Load1")->trigger();
    EXPECT_EQ(LastError().rfind("Cannot open file \"", 0), 0u) << LastError();
    EXPECT_EQ(Form->Session().Thread(), nullptr);
    EXPECT_EQ(Points(), 0u);
}

TEST_F(FaultInjection, FullDevice) {
    if (QFile::exists("/dev/full")) {
        try {
            Form->SaveGraphsFile("/dev/full");
            ADD_FAILURE();
        } catch (const EPackMonException& E) {
            EXPECT_EQ(E.Message(), "Stream write error");
        }
        try {
            const std::string Huge(1, 'x');
            TReplacingFile File("/dev/full", TReplacingFile::TMessages::SystemText);
            File.Write(Huge);
            ADD_FAILURE();
        } catch (const EPackMonException& E) {
            EXPECT_EQ(E.Message(), "No space left on device");
        }
    }
}

TEST_F(FaultInjection, ReadOnlyFolder) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    const QString ReadOnly = Dir.filePath("locked");
    QDir(Dir.path()).mkdir("locked");
    QFile::setPermissions(ReadOnly, QFile::ReadOwner | QFile::ExeOwner);
    Answer(ReadOnly + "/run.CSV");
    Form->findChild<QAction*>("Export1")->trigger();
    EXPECT_EQ(LastError(), "Permission denied");
    Answer(ReadOnly + "/run.PackMonGraphs");
    Form->findChild<QAction*>("GraphsSaveAction1")->trigger();
    EXPECT_EQ(LastError().rfind("Cannot create file \"", 0), 0u);
    QFile::setPermissions(ReadOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(FaultInjection, ExitWritesEveryFileThatCanBeWritten) {
    Form.reset();
    TPackMonFileLocations Broken = Files;
    Broken.CommsExitFileName = Dir.filePath("gone/PackMon.PackMonComms");
    Broken.GraphsExitFileName = Dir.filePath("gone/PackMon.PackMonGraphs");
    Form = std::make_unique<TQuietForm>(Broken);
    testing::internal::CaptureStderr();
    Form.reset();
    const std::string Said = testing::internal::GetCapturedStderr();
    EXPECT_NE(Said.find("PackMon: Cannot create file \""), std::string::npos) << "said where it can be seen: " << Said;
    const std::string ErrorsFile = ReadWholeFile(Broken.ErrorsExitFileName);
    EXPECT_NE(ErrorsFile.find("PackMon.PackMonComms\". No such file or directory"), std::string::npos);
    EXPECT_NE(ErrorsFile.find("PackMon.PackMonGraphs\". No such file or directory"), std::string::npos);
    EXPECT_TRUE(QFile::exists(Broken.IniFileName)) << "the settings are still saved";
}

TEST_F(FaultInjection, OddSettingsFilesStillStartTheWindow) {
    Form.reset();
    const std::string LongLine = "Junk=" + std::string(10 << 20, 'z') + "\n";
    const std::string Cases[] = {
        std::string("\x00\x01\x02\xff\xfe[\x80]\n\x00", 9),
        "[Chart1]\n" + LongLine + "BatteryVolts=255\n",
        "[Chart1]\nBatteryVolts=255\n[Other]\nA=1\n[chart1]\nCell1Volts=0\n",
    };
    for (const std::string& Settings : Cases) {
        ReplaceFileContents(Files.IniFileName, Settings);
        auto Window = std::make_unique<TQuietForm>(Files);
        ASSERT_EQ(Window->Chart1->SeriesCount(), 9);
        Window.reset();
        EXPECT_TRUE(QFile::exists(Files.IniFileName));
    }
    ReplaceFileContents(Files.IniFileName, "[Chart1]\nBatteryVolts=255\n[Other]\nA=1\n[chart1]\nCell1Volts=0\n");
    TQuietForm Window(Files);
    EXPECT_EQ(Window.Chart1->Series(0).Color(), 255u);
    EXPECT_EQ(Window.Chart1->Series(1).Color(), 0u) << "a repeated section still counts";
}

TEST_F(FaultInjection, GraphFileTruncatedAtEveryByteOfTheExample) {
    const std::string Example = ReadWholeFile(QString::fromUtf8(PACKMON_SOURCE_DIR "/fuzz/corpus/graphs/example"));
    ASSERT_EQ(Example.size(), 69u);
    for (std::size_t Length = 0; Length <= Example.size(); ++Length) {
        const QString Name = Dir.filePath("cut.PackMonGraphs");
        ReplaceFileContents(Name, Example.substr(0, Length));
        const std::size_t Before = Errors()->LineCount();
        Answer(Name);
        Form->findChild<QAction*>("GraphsOpenAction1")->trigger();
        const bool Whole = Length == 0 || Length == Example.size();
        EXPECT_EQ(Errors()->LineCount() - Before, Whole ? 0u : 1u) << Length;
        if (!Whole) {
            EXPECT_EQ(LastError(), "Stream read error") << Length;
        }
    }
    EXPECT_EQ(Form->Chart1->Series(0).Count(), 2u);
    EXPECT_TRUE(Form->Chart1->Series(0).Active());
}

} // namespace
