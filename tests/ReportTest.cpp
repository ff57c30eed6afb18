// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileStreamUnit.h"
#include "TestSupport.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct TRun {
    int Status = -1;
    std::string Out, Err;
};

TRun Report(const QStringList& Arguments) {
    QProcess Reporter;
    Reporter.start(QString::fromUtf8(PACKMON_REPORTER), Arguments);
    Reporter.waitForFinished(60000);
    TRun Run;
    Run.Status = Reporter.exitStatus() == QProcess::NormalExit ? Reporter.exitCode() : -1;
    Run.Out = Reporter.readAllStandardOutput().toStdString();
    Run.Err = Reporter.readAllStandardError().toStdString();
    return Run;
}

// The picture embedded in a report page.
QImage EmbeddedChart(const QString& Page) {
    const auto Match = QRegularExpression(QStringLiteral("data:image/png;base64,([^\"]+)")).match(Page);
    return QImage::fromData(QByteArray::fromBase64(Match.captured(1).toLatin1()), "PNG");
}

// A real chart has its nine series' colours, the axes and the grid.
int Colours(const QImage& Picture) {
    QSet<QRgb> Seen;
    for (int Y = 0; Y < Picture.height(); Y += 2)
        for (int X = 0; X < Picture.width(); X += 2)
            Seen.insert(Picture.pixel(X, Y));
    return static_cast<int>(Seen.size());
}

TEST(Report, ACapturesFiguresAsJsonAndItsPageWithARealChart) {
    QTemporaryDir Dir;
    const QString Ini = Dir.filePath("PackMon.Ini");
    ReplaceFileContents(Ini, "[Alarms]\nCellLow=3.1\n");
    // Cell 3 is lowest three times of four and dips below its limit once;
    // the battery field is 0.1 V above the cells' sum once.
    ReplaceFileContents(Dir.filePath("run.PackMonComms"),
                        "$TIMEVALUE;1000\r\n" + DataRecord({3300, 3310, 3200, 3320, 3330, 3340, 3350, 3360}, 26510) +
                            DataRecord({3290, 3300, 3050, 3310, 3320, 3330, 3340, 3350}, 26390) +
                            DataRecord({3280, 3290, 3210, 3300, 3320, 3330, 3340, 3250}, 26320) +
                            DataRecord({3270, 3280, 3260, 3290, 3310, 3320, 3330, 3240}, 26300));
    const QStringList Common = {Dir.filePath("run.PackMonComms"), "--settings", Ini};
    const TRun Json = Report(Common + QStringList{"--json"});
    ASSERT_EQ(Json.Status, 0) << Json.Err;
    for (const char* Part :
         {R"("start_utc":null)", R"("duration_s":3.000,"readings":4)",
          R"({"cell":3,"lowest_V":3.050,"highest_V":3.260,"average_V":3.180,"final_V":3.260,"lowest_share":0.750})",
          R"("largest_spread_V":0.300,"largest_spread_at_s":1.000,"most_often_lowest_cell":3)",
          R"("battery_V":26.300,"cells_sum_V":26.300,"largest_sum_difference_V":0.100)",
          R"("alarms":[{"at_s":1.000,"text":"Alarm: Cell 3)"})
        EXPECT_NE(Json.Out.find(Part), std::string::npos) << Part << "\n" << Json.Out;

    const TRun Page = Report(Common + QStringList{"-o", Dir.filePath("r.html")});
    ASSERT_EQ(Page.Status, 0) << Page.Err;
    const QString Html = QString::fromStdString(ReadWholeFile(Dir.filePath("r.html")));
    EXPECT_TRUE(Html.contains("<td>3</td><td>3.050</td><td>3.260</td><td>3.180</td><td>3.260</td><td>75.0 %</td>"));
    const QImage Chart = EmbeddedChart(Html);
    ASSERT_FALSE(Chart.isNull());
    EXPECT_EQ(Chart.width(), 1200);
    EXPECT_GE(Colours(Chart), 12) << "the series, axes and grid, not a blank picture";
}

TEST(Report, BadInputExitsWithItsDocumentedStatus) {
    QTemporaryDir Dir;
    EXPECT_EQ(Report({"--latest"}).Status, 2) << "no output named";
    EXPECT_EQ(Report({"--session", "x", "-o", "r.html"}).Status, 2);
    EXPECT_EQ(Report({"--frobnicate", "--latest", "--json"}).Status, 2);
    const TRun NoJournal = Report({"--latest", "--json", "--journal", Dir.filePath("none.sqlite")});
    EXPECT_EQ(NoJournal.Status, 3) << NoJournal.Err;
    EXPECT_EQ(Report({Dir.filePath("missing.PackMonComms"), "--json"}).Status, 3);
    ReplaceFileContents(Dir.filePath("a.PackMonComms"), NumberedRecords(1, 3));
    EXPECT_EQ(Report({Dir.filePath("a.PackMonComms"), "-o", Dir.filePath("no/such/folder/r.html")}).Status, 5);
}

} // namespace
