// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartOperationsUnit.h"

#include "ComponentNamesUnit.h"
#include "ProfileFileUnit.h"
#include "SettingsKeysUnit.h"

const TSeriesDefaults DefaultSeries[ChartSeriesCount] = {
    {ProgramSeriesTitles[0], TChartAxis::Right, 0},       {ProgramSeriesTitles[1], TChartAxis::Left, 255},
    {ProgramSeriesTitles[2], TChartAxis::Left, 32768},    {ProgramSeriesTitles[3], TChartAxis::Left, 65535},
    {ProgramSeriesTitles[4], TChartAxis::Left, 16711680}, {ProgramSeriesTitles[5], TChartAxis::Left, 8421504},
    {ProgramSeriesTitles[6], TChartAxis::Left, 16711935}, {ProgramSeriesTitles[7], TChartAxis::Left, 8421376},
    {ProgramSeriesTitles[8], TChartAxis::Left, 8388608},
};

void BuildSeriesSet(TPackMonChart& Chart) {
    Chart.RemoveAllSeries();
    for (const TSeriesDefaults& Defaults : DefaultSeries) {
        TChartSeries& Series = Chart.AddSeries(QString::fromLatin1(Defaults.Title), Defaults.Axis);
        Series.SetActive(false);
        Series.SetColor(Defaults.Color);
        Series.SetXIsDateTime(true);
    }
}

void ClearGraphs(TPackMonChart* Chart) {
    if (Chart == nullptr)
        return;
    Chart->Store().Clear();
    Chart->Repaint();
}

void ActivateSeriesWithData(TPackMonChart* Chart, bool Enable, std::size_t MinCount) {
    if (Chart != nullptr)
        Chart->Store().ActivateSeriesWithData(Enable, MinCount);
}

void ToggleSeriesHighlight(TPackMonChart* Chart, int Index) {
    if (Chart == nullptr || Index < 0 || Index >= Chart->SeriesCount())
        return;
    TChartSeries& Target = Chart->Series(Index);
    if (Target.PenWidth() >= 2) {
        Target.SetPenWidth(0);
        return;
    }
    for (int I = 0; I < Chart->SeriesCount(); ++I)
        Chart->Series(I).SetPenWidth(1);
    Target.SetPenWidth(3);
}

void LoadSeriesColors(TPackMonChart& Chart, const QString& IniFileName, std::vector<std::string>* Problems) {
    const TProfileFile Settings(IniFileName);
    for (int I = 0; I < Chart.SeriesCount(); ++I) {
        TChartSeries& Series = Chart.Series(I);
        const auto Present = static_cast<std::int32_t>(Series.Color());
        const std::string Title = Series.Title().toStdString();
        const auto Value = static_cast<TColor>(Settings.ReadInteger(ChartColorsSection, Title, Present));
        // Only 0x00BBGGRR is a colour here; cutting the rest off would show
        // some other colour than the one written and save that back.
        if ((Value & ~TColor{0xFFFFFF}) != 0) {
            if (Problems != nullptr)
                Problems->push_back(std::string(ChartColorsSection) + ": " + Title + "=" +
                                    Settings.ReadString(ChartColorsSection, Title, {}) +
                                    " is not a colour (0x00BBGGRR); the series keeps its colour");
            continue;
        }
        Series.SetColor(Value);
    }
}

void SaveSeriesColors(const TPackMonChart& Chart, const QString& IniFileName) {
    TProfileFile Settings(IniFileName);
    for (int I = 0; I < Chart.SeriesCount(); ++I) {
        const TChartSeries& Series = Chart.Series(I);
        Settings.WriteInteger(ChartColorsSection, Series.Title().toStdString(),
                              static_cast<std::int32_t>(Series.Color()));
    }
}

void SyncRightAxisColor(TPackMonChart& Chart) {
    if (Chart.SeriesCount() > 0)
        Chart.SetRightAxisColor(Chart.Series(0).Color());
}

QString ReadoutText(const TPackMonChart& Chart, int X, int Y) {
    if (!Chart.PlotRect().contains(X, Y))
        return {};
    const auto Label = [&](TChartAxis Axis, int Pixel) {
        return QString::fromStdString(Chart.AxisLabelText(Axis, Chart.PixelToValue(Axis, Pixel)));
    };
    return QStringLiteral("Time ") + Label(TChartAxis::Bottom, X) + QStringLiteral("   ") +
           Chart.AxisTitle(TChartAxis::Left) + QLatin1Char(' ') + Label(TChartAxis::Left, Y) + QStringLiteral("   ") +
           Chart.AxisTitle(TChartAxis::Right) + QLatin1Char(' ') + Label(TChartAxis::Right, Y);
}

void ShowReadout(TPackMonChart& Chart, int X, int Y) {
    const QString Text = ReadoutText(Chart, X, Y);
    Chart.ClearTitle();
    Chart.AddTitleLine(Text);
}

void DrawCenteredText(TChartCanvas& Canvas, int ChartWidth, const QString& Text, int Y) {
    Canvas.TextOut((ChartWidth - Canvas.TextWidth(Text)) / 2, Y, Text);
}

void DrawBulkTransferNotice(TChartCanvas& Canvas, int ChartWidth) {
    try {
        Canvas.Save();
        Canvas.SetFontSize(20);
        Canvas.SetFontBold(true);
        Canvas.SetBrushStyle(Qt::DiagCrossPattern);
        Canvas.SetFontColor(0x808080);
        DrawCenteredText(Canvas, ChartWidth, QStringLiteral("Bulk Transfer"), 50);
        DrawCenteredText(Canvas, ChartWidth, QStringLiteral("in Progress"), 90);
        Canvas.Restore();
    } catch (...) {
        // An overlay that cannot be drawn is left out; the chart still paints.
    }
}

TPackMonChart* AddWindowChart(QWidget& Panel, QLayout& Layout) {
    auto* Chart = new TPackMonChart(&Panel);
    Chart->setObjectName(QString::fromLatin1(ChartComponentName));
    Layout.addWidget(Chart);
    Chart->SetAxisTitle(TChartAxis::Left, QStringLiteral("CellVolts"));
    Chart->SetAxisTitle(TChartAxis::Right, QStringLiteral("BatteryVolts"));
    Chart->AddTitleLine(QStringLiteral("TChart"));
    return Chart;
}

std::vector<std::string> SetUpWindowSeries(TPackMonChart& Chart, const QString& IniFileName) {
    BuildSeriesSet(Chart);
    std::vector<std::string> Problems;
    LoadSeriesColors(Chart, IniFileName, &Problems);
    SyncRightAxisColor(Chart);
    ToggleSeriesHighlight(&Chart, 0);
    return Problems;
}
