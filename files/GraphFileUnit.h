// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ChartDataUnit.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Graph files: a sequence of component records, each the owner's name and
// the component's name as short strings (a length byte, then the bytes)
// and the component's payload, little-endian. A chart's payload is its
// series count, then per series its point count and each Y value as 16-bit
// thousandths; times are not stored, and a loaded point n of a series is
// placed n seconds after the origin.

// What a graph file reads and writes of a status bar.
class TGraphStatusBar {
  public:
    virtual ~TGraphStatusBar();
    virtual std::string Name() const = 0;
    virtual bool SimplePanel() const = 0;
    virtual std::string SimpleText() const = 0;
    virtual void SetSimpleText(const std::string& Text) = 0;
    virtual std::vector<std::string> PanelTexts() const = 0;
    virtual int PanelCount() const = 0;
    virtual void SetPanelText(int Panel, const std::string& Text) = 0;
};

// A component found by name: a chart, a status bar, something else, or
// nothing.
struct TGraphComponent {
    enum TKind { None, Chart, StatusBar, Other } Kind = None;
    TChartData* ChartPart = nullptr;
    TGraphStatusBar* StatusBarPart = nullptr;
};

// The window whose components a graph file names.
class TGraphFileHost {
  public:
    virtual ~TGraphFileHost();
    virtual std::string OwnerName() const = 0;
    // A component the window owns, its name matched without regard to case.
    virtual TGraphComponent FindComponent(const std::string& Name) = 0;
};

// The bytes of one component record.
std::string ChartRecordBytes(const std::string& OwnerName, const TChartData& Chart);
std::string StatusBarRecordBytes(const std::string& OwnerName, const TGraphStatusBar& StatusBar);

// Writes one record to the file: appended to an existing file when Append
// is set, otherwise the file is replaced (atomically). Nothing when Owner
// is missing; only the owner's name when the component is.
void WriteComponentRecord(const QString& FileName, bool Append, const std::string* OwnerName, const TChartData* Chart,
                          const TGraphStatusBar* StatusBar = nullptr);

// Reads every record of the file into the host's components. Raises
// "File not found: ", "Cannot open file ...", "Stream read error" and
// "List index out of bounds (%d)".
void ReadGraphsFile(const QString& FileName, TGraphFileHost& Host);

// The same, over bytes already in memory.
void ReadGraphsBytes(const std::string& Bytes, TGraphFileHost& Host);
