// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunReportFileUnit.h"

#include "ChartOperationsUnit.h"
#include "ChartUnit.h"
#include "FileStreamUnit.h"
#include "JournalSchemaUnit.h"
#include "SessionReportUnit.h"

#include <QBuffer>
#include <QPixmap>

TReportChart::TReportChart(const QString& IniFileName) : Chart(std::make_unique<TPackMonChart>()) {
    BuildSeriesSet(*Chart);
    LoadSeriesColors(*Chart, IniFileName);
    SyncRightAxisColor(*Chart);
}

TReportChart::~TReportChart() = default;

TSeriesStore& TReportChart::Store() { return Chart->Store(); }

std::string TReportChart::Png(int Width, int Height) {
    Chart->resize(Width, Height);
    Chart->Repaint();
    const QPixmap Picture = Chart->toPixmap(Width, Height);
    QByteArray Bytes;
    QBuffer Buffer(&Bytes);
    Buffer.open(QIODevice::WriteOnly);
    Picture.save(&Buffer, "PNG");
    return Bytes.toStdString();
}

void WriteRunReport(const TRunReport& Report, TReportChart& Chart, const QString& FileName, bool Json) {
    ReplaceFileContents(FileName, Json ? RunReportJson(Report) : RunReportHtml(Report, Chart.Png()));
}

void WriteSessionReport(const std::string& JournalFile, std::int64_t Session, const QString& IniFileName,
                        const QString& FileName, bool Json) {
    TSqliteDatabase Db(JournalFile, false, JournalReaderBusyMs);
    if (Session == 0 && (Session = LatestSession(Db)) == 0)
        throw EPackMonException("The session journal " + JournalFile + " holds no session");
    TReportChart Chart(IniFileName);
    const TRunReport Report = ReportSession(Db, Session, Chart.Store());
    WriteRunReport(Report, Chart, FileName, Json);
}
