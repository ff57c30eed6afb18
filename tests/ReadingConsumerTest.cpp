// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartOperationsUnit.h"
#include "EventLoopSupport.h"
#include "FileStreamUnit.h"
#include "FormSupport.h"
#include "MainFormUnit.h"
#include "TestSupport.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QProgressBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

TReadingRecord Data(double Seconds, double Cell, double Battery = 26.4) {
    TReadingRecord R;
    R.Kind = rkData;
    R.Time = Seconds / SecondsPerDay;
    for (double& V : R.CellVolts)
        V = Cell;
    R.BatteryVolts = Battery;
    return R;
}

TReadingRecord Marker(TReadingKind Kind, double Time = 0) {
    TReadingRecord R;
    R.Kind = Kind;
    R.Time = Time;
    return R;
}

class ReadingConsumer : public testing::Test {
  protected:
    QTemporaryDir Dir;
    std::unique_ptr<TQuietForm> Form = std::make_unique<TQuietForm>(LocateFiles(Dir.filePath("PackMon"), true, {}, {}));
    TPackMonChart& Chart = *Form->Chart1;

    QTableWidget* Grid() const { return Form->findChild<QTableWidget*>("StringGrid1"); }
    QProgressBar* Progress() const { return Form->findChild<QProgressBar*>("ProgressBar1"); }
    QString Cell(int Column) const { return QString::fromStdString(Form->GridCellText(Column)); }
    int ActiveCount() const {
        int Count = 0;
        for (int I = 0; I < Chart.SeriesCount(); ++I)
            Count += Chart.Series(I).Active() ? 1 : 0;
        return Count;
    }
    std::size_t Points(int Series) const { return Chart.Series(Series).Count(); }
    // Gray pixels where the bulk-transfer notice stands.
    // Gray pixels where the bulk-transfer notice stands, and the box around
    // those of its first line.
    int NoticePixels(QRect* FirstLine = nullptr) {
        Chart.Repaint();
        const QImage Image = Chart.grab().toImage();
        int Gray = 0;
        QRect Box;
        for (int Y = 50; Y < 120 && Y < Image.height(); ++Y)
            for (int X = 0; X < Image.width(); ++X)
                if (Image.pixelColor(X, Y) == QColor(0x80, 0x80, 0x80)) {
                    ++Gray;
                    if (Y < 85)
                        Box |= QRect(X, Y, 1, 1);
                }
        if (FirstLine != nullptr)
            *FirstLine = Box;
        return Gray;
    }
};

TEST_F(ReadingConsumer, DataFillsTheGridAndPlotsOnlyPositiveValues) {
    TReadingRecord R = Data(61, 3.712, 29.634);
    R.CellVolts[4] = 0;
    R.CellVolts[6] = -0.005;
    Form->HandleReading(R);
    EXPECT_EQ(Cell(0), "00:01:01");
    EXPECT_EQ(Cell(1), "29.634");
    EXPECT_EQ(Cell(2), "3.712");
    EXPECT_EQ(Cell(6), "0");
    EXPECT_EQ(Cell(8), "-0.005");
    EXPECT_EQ(Points(0), 1u);
    EXPECT_EQ(Points(1), 1u);
    EXPECT_EQ(Points(5), 0u) << "zero is shown, not plotted";
    EXPECT_EQ(Points(7), 0u) << "negative is shown, not plotted";
}

TEST_F(ReadingConsumer, FourthPointShowsASeriesAndTwentyFiveHoursWrap) {
    for (int I = 0; I < 3; ++I)
        Form->HandleReading(Data(I, 3.3));
    EXPECT_EQ(ActiveCount(), 0);
    TReadingRecord Late = Data(25 * 3600, 3.3);
    Late.CellVolts[2] = 0;
    Form->HandleReading(Late);
    EXPECT_EQ(ActiveCount(), 8) << "every series but cell 3, which has only 3 points";
    EXPECT_FALSE(Chart.Series(3).Active());
    EXPECT_EQ(Cell(0), "01:00:00");
    EXPECT_DOUBLE_EQ(Chart.Series(1).XValue(3), 25.0 / 24.0);
}

TEST_F(ReadingConsumer, GridShowsTheLatestValuesAtItsNextRefresh) {
    for (int I = 0; I < 1000; ++I)
        Form->HandleReading(Data(I, 3.0 + I * 0.001));
    ASSERT_TRUE(ServeUntil([&] { return Grid()->item(0, 2)->text() == "3.999"; }, 1s));
    EXPECT_EQ(Grid()->item(0, 0)->text(), "00:16:39");
}

TEST_F(ReadingConsumer, EqualTimesBothBecomePoints) {
    Form->HandleReading(Data(5, 3.30));
    Form->HandleReading(Data(5, 3.31));
    ASSERT_EQ(Points(1), 2u);
    EXPECT_EQ(Chart.Series(1).YValue(1), 3.31);
}

TEST_F(ReadingConsumer, BulkTransferSwapsGridForProgressAndShowsSeriesAtItsEnd) {
    Form->HandleReading(Data(0, 3.1));
    Form->HandleReading(Marker(rkBulkStart, 200));
    EXPECT_EQ(Points(1), 0u);
    EXPECT_TRUE(Form->IsBulkInProgress());
    EXPECT_FALSE(Progress()->isHidden());
    EXPECT_TRUE(Grid()->isHidden());
    EXPECT_EQ(Progress()->maximum(), 200);

    for (int I = 0; I < 200; ++I) {
        Form->HandleReading(Data(I * 10, 3.2 + I * 0.001));
        ASSERT_EQ(Progress()->value(), I + 1);
    }
    EXPECT_EQ(ActiveCount(), 0) << "series fill hidden during the transfer";
    EXPECT_EQ(Cell(2), "3.399");

    Form->HandleReading(Marker(rkBulkEnd));
    EXPECT_FALSE(Form->IsBulkInProgress());
    EXPECT_TRUE(Progress()->isHidden());
    EXPECT_FALSE(Grid()->isHidden());
    EXPECT_EQ(ActiveCount(), 9);
    EXPECT_EQ(Points(1), 200u);
}

TEST_F(ReadingConsumer, SecondBulkTransferCountsFromTheStartAgain) {
    Form->HandleReading(Marker(rkBulkStart, 3));
    for (int I = 0; I < 5; ++I)
        Form->HandleReading(Data(I, 3.3));
    EXPECT_EQ(Progress()->value(), 3) << "more records than announced leave the bar full";
    Form->HandleReading(Marker(rkBulkEnd));
    Form->HandleReading(Marker(rkBulkStart, 10));
    EXPECT_EQ(Progress()->value(), 0);
    EXPECT_EQ(Progress()->maximum(), 10);
}

TEST_F(ReadingConsumer, NegativeBulkCountIsRefusedAfterClearing) {
    for (int I = 0; I < 5; ++I)
        Form->HandleReading(Data(I, 3.3));
    try {
        Form->HandleReading(Marker(rkBulkStart, -5));
        FAIL() << "a negative count must be refused";
    } catch (const EPackMonException& E) {
        EXPECT_EQ(E.Message(), "QProgressBar property out of range");
    }
    EXPECT_EQ(Points(1), 0u);
    EXPECT_FALSE(Form->IsBulkInProgress());
}

TEST_F(ReadingConsumer, TimeValueClearsTheChartButNotTheGrid) {
    for (int I = 0; I < 5; ++I)
        Form->HandleReading(Data(I, 3.3));
    Form->HandleReading(Marker(rkBulkStart, 10));
    Form->HandleReading(Marker(rkTimeValue));
    EXPECT_EQ(ActiveCount(), 0);
    EXPECT_EQ(Points(1), 0u);
    EXPECT_EQ(Cell(2), "3.3");
    EXPECT_FALSE(Form->IsBulkInProgress());
}

TEST_F(ReadingConsumer, NoneChangesNothing) {
    for (int I = 0; I < 5; ++I)
        Form->HandleReading(Data(I, 3.3));
    Form->HandleReading(Marker(rkBulkStart, 10));
    Form->HandleReading(Data(9, 3.4));
    Form->HandleReading(Marker(rkNone, 99));
    EXPECT_EQ(Progress()->value(), 1);
    EXPECT_TRUE(Form->IsBulkInProgress());
    EXPECT_EQ(Cell(2), "3.4");
    EXPECT_EQ(Points(1), 1u);
}

TEST_F(ReadingConsumer, BulkNoticeIsDrawnOnlyDuringATransfer) {
    Form->resize(700, 500);
    Form->show();
    EXPECT_EQ(NoticePixels(), 0);
    Form->HandleReading(Marker(rkBulkStart, 10));
    QRect FirstLine;
    EXPECT_GT(NoticePixels(&FirstLine), 100);
    // In 20-point bold, centred on the chart.
    QFont Notice = Chart.font();
    Notice.setPointSize(20);
    Notice.setBold(true);
    EXPECT_NEAR(FirstLine.width(), QFontMetrics(Notice).horizontalAdvance("Bulk Transfer"), 4);
    EXPECT_NEAR(FirstLine.center().x(), Chart.width() / 2, 4);
    for (int I = 0; I < 5; ++I) {
        TReadingRecord R = Data(I, 3.3 + I * 0.01);
        R.CellVolts[4] = 0; // cell 5 is drawn in the notice's gray
        Form->HandleReading(R);
    }
    Form->HandleReading(Marker(rkBulkEnd));
    EXPECT_EQ(NoticePixels(), 0);
}

TEST_F(ReadingConsumer, ReadoutReplacesTheTitleOnMouseMove) {
    EXPECT_EQ(Chart.TitleLines(), QStringList{"TChart"});
    for (int I = 0; I < 5; ++I)
        Form->HandleReading(Data(I * 60, 3.3 + I * 0.01));
    Chart.Repaint();
    const QPoint Centre = Chart.PlotRect().center();
    Form->Chart1MouseMove(&Chart, Centre.x(), Centre.y());
    ASSERT_EQ(Chart.TitleLines().size(), 1);
    EXPECT_TRUE(Chart.TitleLines()[0].startsWith("Time 00:0")) << Chart.TitleLines()[0].toStdString();
    Form->Chart1MouseMove(&Chart, 0, 0);
    EXPECT_EQ(Chart.TitleLines(), QStringList{""});
    Form->Chart1MouseMove(Form.get(), Centre.x(), Centre.y());
    EXPECT_EQ(Chart.TitleLines(), QStringList{""}) << "only a chart's own moves count";
}

TEST_F(ReadingConsumer, SampleCaptureReplaysIntoNineCurves) {
    Form->LoadCommsFile(QString::fromUtf8(PACKMON_SOURCE_DIR "/examples/Sample.PackMonComms"));
    ASSERT_TRUE(ServeUntil([&] { return Cell(0) == "00:04:59"; }));
    EXPECT_EQ(ActiveCount(), 9);
    EXPECT_EQ(Points(0), 300u) << "the charge log was cleared by the live part's interval";
    EXPECT_FALSE(Form->IsBulkInProgress());
}

TEST_F(ReadingConsumer, GraphsSaveAndOpenThroughTheMenuWithPointsAtWholeSeconds) {
    for (int I = 0; I < 5; ++I)
        Form->HandleReading(Data(I * 7.5, 3.3 + I * 0.001, 26.4));
    Form->ExecuteFileDialog = [&](QFileDialog&) { return std::optional<QString>(Dir.filePath("run.txt")); };
    Form->findChild<QAction*>("GraphsSaveAction1")->trigger();
    const QString Saved = Dir.filePath("run.PackMonGraphs");
    EXPECT_EQ(ReadWholeFile(Saved).size(), 63u + 2 * 45);

    Form->ExecuteFileDialog = [&](QFileDialog&) { return std::optional<QString>(Saved); };
    Form->findChild<QAction*>("GraphsOpenAction1")->trigger();
    ASSERT_EQ(Points(1), 5u);
    EXPECT_DOUBLE_EQ(Chart.Series(1).XValue(2), 3 / SecondsPerDay);
    EXPECT_NEAR(Chart.Series(1).YValue(4), 3.304, 1e-9);
    EXPECT_EQ(ActiveCount(), 9);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ReadingConsumer, ExportWritesTheChartUnderTheCsvExtension) {
    Form->HandleReading(Data(61, 3.3, 26.4));
    Form->ExecuteFileDialog = [&](QFileDialog&) { return std::optional<QString>(Dir.filePath("data.txt")); };
    Form->findChild<QAction*>("Export1")->trigger();
    const std::string Text = ReadWholeFile(Dir.filePath("data.CSV"));
    EXPECT_EQ(Text.substr(Text.find("\r\n") + 2, 29), "  00:01:01.000,          26.4");
}

TEST_F(ReadingConsumer, GraphsExitFileHoldsTheChart) {
    Form->HandleReading(Data(0, 3.3));
    const QString Exit = Form->FileLocations().GraphsExitFileName;
    Form.reset();
    EXPECT_EQ(ReadWholeFile(Exit).size(), 63u + 2 * 9);
}

TEST_F(ReadingConsumer, ColoursAreSavedAtExitEvenWithoutAChange) {
    const QString Ini = Form->IniFileName();
    Form.reset();
    const std::string Saved = ReadWholeFile(Ini);
    EXPECT_NE(Saved.find("Cell5Volts=8421504"), std::string::npos) << Saved;
}

} // namespace
