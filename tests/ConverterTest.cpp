// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartOperationsUnit.h"
#include "ConvertUnit.h"
#include "CsvExportUnit.h"
#include "EventLoopSupport.h"
#include "FileStreamUnit.h"
#include "FormSupport.h"
#include "GraphFileUnit.h"
#include "MainFormUnit.h"
#include "SeriesStoreUnit.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

const QString Sample = QString::fromUtf8(PACKMON_SOURCE_DIR "/examples/Sample.PackMonComms");

int Convert(const QStringList& Arguments, QString* ErrorText = nullptr) {
    QProcess Converter;
    Converter.start(QString::fromUtf8(PACKMON_CONVERTER), Arguments);
    Converter.waitForFinished(60000);
    if (ErrorText)
        *ErrorText = QString::fromUtf8(Converter.readAllStandardError());
    return Converter.exitStatus() == QProcess::NormalExit ? Converter.exitCode() : -1;
}

TEST(Converter, CsvOfTheSampleEqualsTheWindowsExportOfItsReplay) {
    QTemporaryDir Dir;
    TQuietForm Form(LocateFiles(Dir.filePath("PackMon"), true, {}, {}));
    Form.LoadCommsFile(Sample);
    ASSERT_TRUE(ServeUntil([&] { return Form.GridCellText(0) == "00:04:59"; }));
    const QString FromWindow = Dir.filePath("window.CSV");
    ExportChartToCsv(&Form.Chart1->Store(), FromWindow);

    const QString FromConverter = Dir.filePath("converter.CSV");
    const QString Graphs = Dir.filePath("converter.PackMonGraphs");
    ASSERT_EQ(Convert({Sample, "--csv", FromConverter, "--graphs", Graphs}), 0);
    EXPECT_EQ(ReadWholeFile(FromConverter), ReadWholeFile(FromWindow));

    const QString WindowGraphs = Dir.filePath("window.PackMonGraphs");
    Form.SaveGraphsFile(WindowGraphs);
    EXPECT_EQ(ReadWholeFile(Graphs), ReadWholeFile(WindowGraphs));

    const QString Again = Dir.filePath("again.CSV");
    ASSERT_EQ(Convert({Graphs, "--csv", Again}), 0);
    const std::string Text = ReadWholeFile(Again);
    EXPECT_EQ(Text.substr(Text.find("\r\n") + 2, 14), "  00:00:01.000") << "graph points at whole seconds";
}

TEST(Converter, FailuresGoToStandardErrorWithAStatus) {
    QTemporaryDir Dir;
    QString Errors;
    EXPECT_EQ(Convert({Dir.filePath("none.PackMonComms"), "--csv", Dir.filePath("x.CSV")}, &Errors), 3);
    EXPECT_TRUE(Errors.startsWith("Cannot open file \"")) << Errors.toStdString();

    const QString Bad = Dir.filePath("bad.PackMonComms");
    ReplaceFileContents(Bad, "$TIMEVALUE;1000\r\nnoise between records\r\n$1;0;0;1;2;3;4;5;6;7;8;9\r\n"
                             "$1;0;0;x;2;3;4;5;6;7;8;9\r\n");
    EXPECT_EQ(Convert({Bad, "--csv", Dir.filePath("bad.CSV")}, &Errors), 1);
    EXPECT_EQ(Errors.trimmed(), "'x' is not a valid integer value (line 4)");
    EXPECT_EQ(ReadWholeFile(Dir.filePath("bad.CSV")).size(), 2u * 151) << "the good record is still written";

    const QString Graphs = Dir.filePath("good.PackMonGraphs");
    ASSERT_EQ(Convert({Bad, "--graphs", Graphs}, &Errors), 1);
    const std::string Whole = ReadWholeFile(Graphs);
    const QString Damaged = Dir.filePath("damaged.PackMonGraphs");
    ReplaceFileContents(Damaged, Whole.substr(0, Whole.size() - 3));
    EXPECT_EQ(Convert({Damaged, "--csv", Dir.filePath("damaged.CSV")}, &Errors), 4);
    EXPECT_EQ(Errors.trimmed(), "Stream read error");
    EXPECT_TRUE(QFile::exists(Dir.filePath("damaged.CSV"))) << "what was read is kept, as the window keeps it";
    EXPECT_EQ(Convert({Bad, "--csv", Dir.filePath("none/x.CSV")}, &Errors), 5);

    EXPECT_EQ(Convert({"--help"}, &Errors), 0);
    EXPECT_EQ(Convert({Bad}, &Errors), 2) << "nothing asked for";
}

TEST(Converter, InputKindIsToldByContent) {
    EXPECT_EQ(DetectInputKind("$1;0;0\r\n", "x.PackMonGraphs"), TInputKind::Capture);
    EXPECT_EQ(DetectInputKind(std::string("\x0FPackMonMainForm\x06"
                                          "Chart1"),
                              "x.txt"),
              TInputKind::Graphs);
    EXPECT_EQ(DetectInputKind("", "x.PackMonGraphs"), TInputKind::Graphs);
    EXPECT_EQ(DetectInputKind("", "x.PackMonComms"), TInputKind::Capture);
    EXPECT_EQ(DetectInputKind("\x05"
                              "ab",
                              "x.PackMonGraphs"),
              TInputKind::Capture);
}

} // namespace

TEST(Converter, ARecordOwnedByAnotherWindowComponentIsSkippedAsTheWindowSkipsIt) {
    TSeriesStore Written;
    Written.AddSeries("Cell1Volts");
    Written.AddXY(0, 0.5, 3.3);
    // Such a record is an owner and a component name, and nothing else; a
    // reader that takes its component name for the next owner goes astray.
    const std::string Bytes =
        std::string("\x0BStringGrid1\x0FPackMonMainForm", 28) + ChartRecordBytes("PackMonMainForm", Written);
    TSeriesStore Read;
    Read.AddSeries("Cell1Volts");
    ReadGraphsInto(Bytes, Read);
    ASSERT_EQ(Read.PointCount(0), 1u);
    EXPECT_DOUBLE_EQ(Read.YValue(0, 0), 3.3);
}
