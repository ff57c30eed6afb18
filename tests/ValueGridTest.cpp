// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartUnit.h"
#include "EventLoopSupport.h"
#include "FormSupport.h"
#include "KWBMessageDlgUnit.h"
#include "MainFormUnit.h"
#include "MemoPaneUnit.h"
#include "ValueGridUnit.h"

#include <QImage>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

class ValueGrid : public testing::Test {
  protected:
    QTemporaryDir Dir;
    std::unique_ptr<TQuietForm> Form = std::make_unique<TQuietForm>(LocateFiles(Dir.filePath("PackMon"), true, {}, {}));
    QTableWidget* Grid = Form->findChild<QTableWidget*>("StringGrid1");
    int DialogCalls = 0;
    std::uint32_t DialogOpenedWith = 99;

    void SetUp() override {
        Form->resize(700, 400);
        Form->show();
        TReadingRecord R;
        R.Kind = rkData;
        R.Time = 61 / 86400.0;
        R.BatteryVolts = 26.4;
        for (double& V : R.CellVolts)
            V = 3.3;
        Form->HandleReading(R);
        ServeFor(100ms);
    }
    QPoint CellCentre(int Column) const { return Grid->visualRect(Grid->model()->index(0, Column)).center(); }
    void Click(Qt::MouseButton Button, int Column, Qt::KeyboardModifiers Shift = Qt::NoModifier) {
        const QPoint At = CellCentre(Column);
        Form->StringGrid1MouseUp(Button, Shift, Qt::NoButton, At.x(), At.y());
    }
    void AnswerColour(std::optional<std::uint32_t> Answer) {
        Form->ExecuteColorDialog = [this, Answer](std::uint32_t Initial) {
            ++DialogCalls;
            DialogOpenedWith = Initial;
            return Answer;
        };
    }
    int PixelsOf(const QImage& Image, int Column, const QColor& Colour) const {
        const QRect Cell = Grid->visualRect(Grid->model()->index(0, Column));
        int Count = 0;
        for (int Y = Cell.top(); Y <= Cell.bottom(); ++Y)
            for (int X = Cell.left(); X <= Cell.right(); ++X)
                Count += Image.pixelColor(X, Y) == Colour ? 1 : 0;
        return Count;
    }
};

TEST_F(ValueGrid, ValuesAreDrawnInTheirSeriesColours) {
    Form->Chart1->Series(3).SetColor(255);
    Grid->viewport()->update();
    const QImage Image = Grid->viewport()->grab().toImage();
    EXPECT_GT(PixelsOf(Image, 4, QColor(255, 0, 0)), 10) << "Cell3Volts in red";
    EXPECT_EQ(PixelsOf(Image, 3, QColor(255, 0, 0)), 0);
    EXPECT_GT(PixelsOf(Image, 3, QColor(0, 128, 0)), 10) << "Cell2Volts in green";
    EXPECT_GT(PixelsOf(Image, 0, Grid->palette().color(QPalette::WindowText)), 10) << "the time in window text";
}

TEST_F(ValueGrid, NegativeValuesAreShownWhole) {
    TReadingRecord R;
    R.Kind = rkData;
    R.CellVolts[0] = -10.123;
    R.CellVolts[1] = -0.004;
    Form->HandleReading(R);
    static_cast<TValueGrid*>(Grid)->Refresh();
    QFont Bold = Grid->font();
    Bold.setBold(true);
    for (const auto& [Column, Text] : {std::pair{2, "-10.123"}, std::pair{3, "-0.004"}}) {
        EXPECT_EQ(Grid->item(0, Column)->text(), Text);
        EXPECT_GE(Grid->columnWidth(Column), QFontMetrics(Bold).horizontalAdvance(Text)) << Text << " fits its column";
    }
}

TEST_F(ValueGrid, TooltipsNameTheColumnAndStayOffTheCells) {
    const QPoint Time = CellCentre(0);
    Form->StringGrid1MouseMove(Time.x(), Time.y());
    EXPECT_EQ(Grid->toolTip(), "Time");
    const QPoint Cell5 = CellCentre(6);
    Form->StringGrid1MouseMove(Cell5.x(), Cell5.y());
    EXPECT_EQ(Grid->toolTip(), "Cell5Volts");
    Form->StringGrid1MouseMove(Grid->viewport()->width() - 2, Cell5.y());
    EXPECT_EQ(Grid->toolTip(), "Cell5Volts") << "right of the last column";
}

TEST_F(ValueGrid, LeftClicksMoveTheHighlight) {
    Click(Qt::LeftButton, 1);
    EXPECT_EQ(Form->Chart1->Series(0).PenWidth(), 0);
    Click(Qt::LeftButton, 5);
    EXPECT_EQ(Form->Chart1->Series(4).PenWidth(), 3);
    Click(Qt::LeftButton, 5, Qt::ControlModifier);
    EXPECT_EQ(Form->Chart1->Series(4).PenWidth(), 3) << "a modifier does nothing";
    Click(Qt::LeftButton, 0);
    EXPECT_EQ(Form->Chart1->Series(4).PenWidth(), 3) << "the time column does nothing";
}

TEST_F(ValueGrid, RightClickRecoloursFromTheLastConfirmedColour) {
    AnswerColour(0x008000u);
    Click(Qt::RightButton, 1);
    EXPECT_EQ(DialogOpenedWith, 0u) << "black before the first confirmation";
    EXPECT_EQ(Form->Chart1->Series(0).Color(), 0x008000u);
    EXPECT_EQ(Form->Chart1->yAxis2->tickLabelColor(), QColor(0, 128, 0)) << "the right axis follows series 0";

    AnswerColour(std::nullopt);
    Click(Qt::RightButton, 3);
    EXPECT_EQ(DialogOpenedWith, 0x008000u);
    EXPECT_EQ(Form->Chart1->Series(2).Color(), 32768u) << "cancelled: unchanged";

    Click(Qt::RightButton, 3, Qt::ShiftModifier);
    Click(Qt::RightButton, 0);
    EXPECT_EQ(DialogCalls, 2) << "no dialog with a modifier or on the time column";
}

TEST(AboutBox, TextAndPlacement) {
    QTemporaryDir Dir;
    TQuietForm Form(LocateFiles(Dir.filePath("PackMon"), true, {}, {}));
    const QString Text = Form.AboutText();
    EXPECT_TRUE(Text.startsWith("Version ")) << Text.toStdString();
    EXPECT_TRUE(Text.contains("\r\r"));
    EXPECT_FALSE(Text.contains("\r\n"));

    const QSize Screen(1920, 1080);
    EXPECT_EQ(PlaceMessageDialog(QRect(100, 100, 400, 300), QSize(200, 100), Screen), QRect(200, 200, 200, 100));
    EXPECT_EQ(PlaceMessageDialog(QRect(1800, 500, 400, 300), QSize(200, 100), Screen).left(), 1720)
        << "moved back onto the right edge";
    EXPECT_EQ(PlaceMessageDialog(QRect(100, -250, 400, 300), QSize(200, 100), Screen).top(), 0)
        << "never above the top";
    EXPECT_EQ(PlaceMessageDialog(QRect(0, 0, 100, 100), QSize(3000, 2000), Screen), QRect(0, 0, 1920, 1080));
}

} // namespace
