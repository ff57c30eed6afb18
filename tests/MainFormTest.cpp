// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "BalancePageUnit.h"
#include "ChartUnit.h"
#include "ComponentNamesUnit.h"
#include "EventLoopSupport.h"
#include "FileStreamUnit.h"
#include "JournalWriterUnit.h"
#include "LiveSessionUnit.h"
#include "MRUUnit.h"
#include "MainFormUnit.h"
#include "MemoPaneUnit.h"
#include "PackMonClockUnit.h"
#include "ReviewToolsUnit.h"
#include "SessionsDialogUnit.h"
#include "TestSupport.h"
#include "ValueGridUnit.h"
#include "WindowGraphHostUnit.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDialog>
#include <QFile>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <gtest/gtest.h>
#include <set>
#include <thread>

namespace {

using namespace std::chrono_literals;

// The window with its readings and beeps recorded instead of plotted and
// sounded.
class TTestForm : public TPackMonMainForm {
  public:
    using TPackMonMainForm::TPackMonMainForm;
    std::vector<TReadingRecord> Readings;
    int Beeps = 0;
    std::optional<QString> NextDialogAnswer;
    QFileDialog* LastDialog = nullptr;

    void HandleReading(const TReadingRecord& Reading) override { Readings.push_back(Reading); }
    void Beep() override { ++Beeps; }
    void AnswerDialogsWith(std::optional<QString> Answer) {
        NextDialogAnswer = std::move(Answer);
        ExecuteFileDialog = [this](QFileDialog& Dialog) {
            LastDialog = &Dialog;
            return NextDialogAnswer;
        };
    }
};

class MainForm : public testing::Test {
  protected:
    QTemporaryDir Dir;
    std::unique_ptr<TTestForm> Form;

    void SetUp() override { Form = std::make_unique<TTestForm>(Locations()); }
    void TearDown() override { Form.reset(); }

    TPackMonFileLocations Locations() const { return LocateFiles(Dir.filePath("PackMon"), true, {}, {}); }
    QString Path(const QString& Name) const { return Dir.filePath(Name); }

    template <typename T> T* Child(const char* Name) const {
        T* Found = Form->findChild<T*>(QString::fromLatin1(Name));
        EXPECT_NE(Found, nullptr) << Name;
        return Found;
    }
    TMemoPane* Comms() const { return Child<TMemoPane>("CommsMemo"); }
    TMemoPane* Errors() const { return Child<TMemoPane>("ErrorsMemo"); }
    QString Status() const { return Child<QLabel>("StatusLine")->text(); }
    void Trigger(const char* MenuItem) const { Child<QAction>(MenuItem)->trigger(); }

    void WriteFile(const QString& Name, const std::string& Bytes) const { ReplaceFileContents(Name, Bytes); }
    std::string ReadFile(const QString& Name) const { return ReadWholeFile(Name); }
};

const QRegularExpression TimeStamped(QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} )"));

bool IsTimeStamped(std::string_view Line) {
    return TimeStamped.match(QString::fromUtf8(Line.data(), static_cast<qsizetype>(Line.size()))).hasMatch();
}

std::vector<std::string> MenuCaptions(QMenu* Menu) {
    std::vector<std::string> Captions;
    for (QAction* Action : Menu->actions())
        Captions.push_back(Action->isSeparator() ? "-" : Action->text().toStdString());
    return Captions;
}

// --- The window after FormCreate ----------------------------------------------

TEST_F(MainForm, StartsOnTheGraphsPageWithNoPortNoThreadAndNoProgressBar) {
    EXPECT_EQ(Form->windowTitle(), "PackMon");
    auto* Pages = Child<QTabWidget>("PageControl1");
    ASSERT_EQ(Pages->count(), 4);
    EXPECT_EQ(Pages->tabText(0), "Graphs");
    EXPECT_EQ(Pages->tabText(1), "Comms");
    EXPECT_EQ(Pages->tabText(2), "Errors");
    EXPECT_EQ(Pages->tabText(3), "Balance");
    EXPECT_EQ(Pages->currentIndex(), 0);
    EXPECT_EQ(Pages->widget(0)->objectName(), "GraphsTabSheet");
    EXPECT_EQ(Pages->widget(1)->objectName(), "CommsTabSheet");
    EXPECT_EQ(Pages->widget(2)->objectName(), "ErrorsTabSheet");
    EXPECT_EQ(Pages->widget(3)->objectName(), "BalanceTabSheet");

    EXPECT_TRUE(Child<QProgressBar>("ProgressBar1")->isHidden());
    EXPECT_EQ(Form->Session().LinkState().Port(), nullptr);
    EXPECT_EQ(Form->Session().Thread(), nullptr);
    EXPECT_EQ(Comms()->LineCount(), 0u);
    // Record lines line up only when every glyph takes the same width.
    const QFontMetrics Glyphs(Comms()->font());
    EXPECT_EQ(Glyphs.horizontalAdvance(QStringLiteral("iiii")), Glyphs.horizontalAdvance(QStringLiteral("WWWW")));
    EXPECT_EQ(Glyphs.horizontalAdvance(QStringLiteral(";;;;")), Glyphs.horizontalAdvance(QStringLiteral("$888")));

    auto* Grid = Child<QTableWidget>("StringGrid1");
    ASSERT_EQ(Grid->rowCount(), 1);
    ASSERT_EQ(Grid->columnCount(), 10);
    EXPECT_EQ(Grid->columnWidth(0), 62);
    EXPECT_EQ(Grid->columnWidth(1), 50);
    EXPECT_EQ(Grid->columnWidth(9), 40);
    EXPECT_EQ(Grid->rowHeight(0), 18);
}

TEST_F(MainForm, APageNamedAtStartIsShownAndAnUnknownOneIsSaid) {
    auto* Pages = Child<QTabWidget>("PageControl1");
    Form->ShowPage("balance");
    EXPECT_EQ(Pages->currentWidget()->objectName(), "BalanceTabSheet");
    Form->ShowPage("Chart");
    EXPECT_EQ(Pages->currentWidget()->objectName(), "BalanceTabSheet");
    EXPECT_NE(Errors()->Text().find("No such page: Chart (Graphs, Comms, Errors or Balance)"), std::string::npos);
}

TEST_F(MainForm, MenusHoldTheirItemsInOrder) {
    auto* Bar = Child<QMenuBar>("MainMenu1");
    std::vector<std::string> Titles;
    for (QAction* Action : Bar->actions())
        Titles.push_back(Action->text().toStdString());
    EXPECT_EQ(Titles, (std::vector<std::string>{"File", "Comms", "Graphs", "View", "Help"}));

    using Captions = std::vector<std::string>;
    EXPECT_EQ(
        MenuCaptions(Child<QMenu>("Comms1")),
        (Captions{"COMPort", "-", "Clear", "Open File", "Open for Review...", "Save File", "-", "", "", "", "", ""}));
    EXPECT_EQ(MenuCaptions(Child<QMenu>("COMPort")), (Captions{"COM0"}));
    EXPECT_EQ(MenuCaptions(Child<QMenu>("Graphs1")),
              (Captions{"Clear", "Open", "Save", "Export", "-", "", "", "", "", ""}));
    for (int I = 0; I < 5; ++I) {
        EXPECT_EQ(Child<QMenu>("Comms1")->actions()[7 + I]->objectName(), "CommsMRUMenuItem" + QString::number(I));
        EXPECT_EQ(Child<QMenu>("Graphs1")->actions()[5 + I]->objectName(), "GraphsMRUMenuItem" + QString::number(I));
        EXPECT_FALSE(Child<QAction>(("CommsMRUMenuItem" + std::to_string(I)).c_str())->isVisible());
    }
    EXPECT_EQ(MenuCaptions(Child<QMenu>("Help1")), (Captions{"About"}));
    EXPECT_EQ(MenuCaptions(Child<QMenu>("View1")),
              (Captions{"Whole Run", "Follow Newest", "Time of Day", "-", "Add Note..."}));
    EXPECT_EQ(Child<QAction>("AddNoteAction")->shortcut(), QKeySequence(QStringLiteral("Ctrl+M")));
    EXPECT_EQ(MenuCaptions(Child<QMenu>("File1")), (Captions{"Sessions...", "Report..."}));

    for (const char* Name : {"COM01", "N1", "sClear1", "Load1", "Review1", "Save1", "N2", "GraphsClearAction1",
                             "GraphsOpenAction1", "GraphsSaveAction1", "Export1", "N3", "About1"})
        Child<QAction>(Name);
    for (const char* Name :
         {"CommsClearAction", "CommsOpenAction", "CommsReviewAction", "CommsSaveAction", "GraphsClearAction",
          "GraphsOpenAction", "GraphsSaveAction", "GraphsExportAction", "HelpAboutAction"})
        EXPECT_EQ(Child<QAction>(Name)->parent()->objectName(), "ActionList1");
}

TEST_F(MainForm, FileDialogsFilterTheirOwnFiles) {
    const struct {
        const char* Name;
        const char* Filter;
        const char* Suffix;
        QFileDialog::AcceptMode Mode;
    } Dialogs[] = {
        {"CommsOpenDialog", "PackMon Comms Files (*.PackMonComms)", "PackMonComms", QFileDialog::AcceptOpen},
        {"CommsSaveDialog", "PackMon Comms Files (*.PackMonComms)", "PackMonComms", QFileDialog::AcceptSave},
        {"GraphsOpenDialog", "PackMon Graph Files (*.PackMonGraphs)", "PackMonGraphs", QFileDialog::AcceptOpen},
        {"GraphsSaveDialog", "Pack Mon Graph Files (*.PackMonGraphs)", "PackMonGraphs", QFileDialog::AcceptSave},
        {"ExportSaveDialog", "Comma Separated Values (*.CSV)", "CSV", QFileDialog::AcceptSave},
    };
    for (const auto& Expected : Dialogs) {
        auto* Dialog = Child<QFileDialog>(Expected.Name);
        ASSERT_NE(Dialog, nullptr);
        EXPECT_EQ(Dialog->nameFilters(), QStringList{QString::fromLatin1(Expected.Filter)}) << Expected.Name;
        EXPECT_EQ(Dialog->defaultSuffix(), Expected.Suffix);
        EXPECT_EQ(Dialog->acceptMode(), Expected.Mode);
    }
}

// --- Logs ----------------------------------------------------------------------

TEST_F(MainForm, EchoLineIsShownAsReceivedWithoutStampOrBeep) {
    Form->LogLine(Comms(), "$1;0;0;3700", 0, false);
    ASSERT_EQ(Comms()->LineCount(), 1u);
    EXPECT_EQ(Comms()->Line(0), "$1;0;0;3700");
    EXPECT_EQ(Status(), "$1;0;0;3700");
    EXPECT_EQ(Form->Beeps, 0);

    Form->LogLine(Comms(), "$2", -1.0, false);
    EXPECT_EQ(Comms()->Line(1), "$2") << "a negative time asks for no stamp";
    // The view, not only the text behind it, shows the lines once their batch is due.
    ASSERT_TRUE(ServeUntil([&] { return Comms()->ShownLineCount() == 2; }));
}

TEST_F(MainForm, LogPaneFollowsItsEndUnlessScrolledAwayAndCopiesWhatIsSelected) {
    TMemoPane Pane;
    Pane.resize(400, 300);
    Pane.show();
    for (int I = 0; I < 5000; ++I)
        Pane.AddLine("$" + std::to_string(I));
    ASSERT_TRUE(ServeUntil([&] { return Pane.ShownLineCount() == 5000; }));
    const auto InView = static_cast<std::size_t>(Pane.viewport()->height() / Pane.LineHeight());
    ASSERT_GT(InView, 2u);
    EXPECT_EQ(Pane.FirstLineInView(), 5000 - InView) << "the end is in view";

    Pane.verticalScrollBar()->setValue(100);
    Pane.AddLine("$new");
    ASSERT_TRUE(ServeUntil([&] { return Pane.ShownLineCount() == 5001; }));
    EXPECT_EQ(Pane.FirstLineInView(), 100u) << "a reader scrolled back is left where he is";

    const auto Click = [&](std::size_t Line, Qt::KeyboardModifiers Modifiers) {
        const QPointF At(10, static_cast<double>(Line - 100) * Pane.LineHeight() + 2);
        QMouseEvent Press(QEvent::MouseButtonPress, At, Pane.viewport()->mapToGlobal(At), Qt::LeftButton,
                          Qt::LeftButton, Modifiers);
        QApplication::sendEvent(Pane.viewport(), &Press);
    };
    const auto Key = [&](int Code, Qt::KeyboardModifiers Modifiers) {
        QKeyEvent Press(QEvent::KeyPress, Code, Modifiers);
        QApplication::sendEvent(&Pane, &Press);
    };
    Click(101, Qt::NoModifier);
    Click(103, Qt::ShiftModifier);
    EXPECT_EQ(Pane.SelectedText(), "$101\n$102\n$103");
    Key(Qt::Key_Down, Qt::ShiftModifier);
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "$101\n$102\n$103\n$104");
    Key(Qt::Key_End, Qt::NoModifier);
    EXPECT_EQ(Pane.SelectedText(), "$new");
    EXPECT_EQ(Pane.FirstLineInView(), 5001 - InView);
}

TEST_F(MainForm, MovingOverThePlotShowsTheReadoutInTheTitle) {
    Form->resize(800, 600);
    Form->show();
    ASSERT_TRUE(ServeUntil([&] { return Form->Chart1->PlotRect().width() > 100; }));
    const QPoint Inside = Form->Chart1->PlotRect().center();
    QMouseEvent Move(QEvent::MouseMove, QPointF(Inside), QPointF(Form->Chart1->mapToGlobal(Inside)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(Form->Chart1, &Move);
    ASSERT_EQ(Form->Chart1->TitleLines().size(), 1);
    EXPECT_TRUE(Form->Chart1->TitleLines()[0].startsWith("Time ")) << Form->Chart1->TitleLines()[0].toStdString();
    EXPECT_TRUE(Form->Chart1->TitleLines()[0].contains("CellVolts "));
}

TEST_F(MainForm, ErrorLineIsTimeStampedMirroredAndBeeps) {
    Form->LogLine(Errors(), "'x' is not a valid integer value", 45000.0, true);
    ASSERT_EQ(Errors()->LineCount(), 1u);
    const std::string Line(Errors()->Line(0));
    EXPECT_TRUE(IsTimeStamped(Line)) << Line;
    EXPECT_EQ(Line.substr(24), "'x' is not a valid integer value");
    EXPECT_EQ(Line.substr(0, 24), "2023-03-15 00:00:00.000 ") << "the time the caller gave";
    EXPECT_EQ(Status().toStdString(), Line);
    EXPECT_EQ(Form->Beeps, 1);
    // What a menu item's empty status tip sends as the pointer passes over it.
    QStatusTipEvent Hover{QString()};
    QApplication::sendEvent(Form.get(), &Hover);
    EXPECT_EQ(Status().toStdString(), Line) << "the status line keeps the last line logged";
    EXPECT_TRUE(Child<QStatusBar>("StatusBar1")->currentMessage().isEmpty()) << "no temporary message to lose";
}

TEST_F(MainForm, LogLineWithoutAPaneOnlyBeeps) {
    Form->LogLine(Comms(), "$kept", 0, false);
    Form->LogLine(nullptr, "lost", 1.0, true);
    EXPECT_EQ(Status(), "$kept");
    EXPECT_EQ(Form->Beeps, 1);
    EXPECT_EQ(Errors()->LineCount(), 0u);
}

TEST_F(MainForm, FailedMenuCommandLandsInTheErrorsPaneOnly) {
    const QString Vanished = Path("vanished.PackMonComms");
    Form->AnswerDialogsWith(Vanished);
    Trigger("Load1");

    EXPECT_EQ(Form->LastDialog, Child<QFileDialog>("CommsOpenDialog"));
    ASSERT_EQ(Errors()->LineCount(), 1u);
    const std::string Line(Errors()->Line(0));
    EXPECT_TRUE(IsTimeStamped(Line));
    EXPECT_EQ(Line.substr(24), "Cannot open file \"" + DisplayPath(Vanished) + "\". No such file or directory");
    EXPECT_EQ(Form->Beeps, 1);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "busy cursor put back after the failure";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MainForm, FailureEscapingAnEventHandlerReachesTheErrorsPane) {
    QTimer::singleShot(0, Form.get(), [] { throw EPackMonException("escaped the handler"); });
    ASSERT_TRUE(ServeUntil([&] { return Errors()->LineCount() == 1; }));
    EXPECT_EQ(std::string(Errors()->Line(0)).substr(24), "escaped the handler");
}

// --- Comms captures ---------------------------------------------------------------

TEST_F(MainForm, CaptureWithLfOrCrLineEndsReplaysLikeCrLf) {
    const std::string CrLf = "$TIMEVALUE;1000\r\n" + NumberedRecords(1, 20);
    std::vector<TReadingRecord> Reference;
    for (const char* Ending : {"\r\n", "\n", "\r"}) {
        std::string Text = CrLf;
        for (std::size_t At = Text.find("\r\n"); At != std::string::npos; At = Text.find("\r\n", At + 1))
            Text.replace(At, 2, Ending);
        const QString Name = Path("capture.PackMonComms");
        WriteFile(Name, Text);

        Form->Readings.clear();
        Form->LoadCommsFile(Name);
        EXPECT_EQ(Comms()->Text(), CrLf) << "ending " << int(Ending[0]);
        ASSERT_TRUE(ServeUntil([&] { return Form->Readings.size() == 21; }));
        if (Reference.empty())
            Reference = Form->Readings;
        for (std::size_t I = 0; I < 21; ++I) {
            EXPECT_EQ(Form->Readings[I].Kind, Reference[I].Kind);
            EXPECT_EQ(Form->Readings[I].Time, Reference[I].Time);
            EXPECT_EQ(Form->Readings[I].CellVolts[0], Reference[I].CellVolts[0]);
        }
    }
    EXPECT_EQ(Comms()->LineCount(), 21u) << "replayed lines are not echoed a second time";
}

TEST_F(MainForm, LoadingWhileAReplayRunsStopsItFirst) {
    WriteFile(Path("long.PackMonComms"), NumberedRecords(1, 3000));
    WriteFile(Path("short.PackMonComms"), NumberedRecords(5001, 50));
    Form->LoadCommsFile(Path("long.PackMonComms"));
    ASSERT_TRUE(ServeUntil([&] { return !Form->Readings.empty(); }));

    Form->LoadCommsFile(Path("short.PackMonComms"));
    Form->Readings.clear();
    ASSERT_TRUE(ServeUntil([&] { return Form->Readings.size() >= 50; }));
    ServeFor(300ms);
    ASSERT_EQ(Form->Readings.size(), 50u);
    for (int I = 0; I < 50; ++I)
        EXPECT_EQ(RecordIndex(Form->Readings[I]), 5001 + I);
    EXPECT_EQ(Comms()->LineCount(), 50u);
}

TEST_F(MainForm, EmptyCaptureStartsAnIdleReplay) {
    WriteFile(Path("empty.PackMonComms"), "");
    Form->LogLine(Comms(), "$old", 0, false);
    Form->LoadCommsFile(Path("empty.PackMonComms"));
    EXPECT_EQ(Comms()->LineCount(), 0u);
    EXPECT_NE(Form->Session().Thread(), nullptr);
}

TEST_F(MainForm, Com0StopsAReplay) {
    WriteFile(Path("long.PackMonComms"), NumberedRecords(1, 3000));
    Form->LoadCommsFile(Path("long.PackMonComms"));
    Trigger("COM01");
    EXPECT_EQ(Form->Session().Thread(), nullptr);
    const std::size_t AtStop = Form->Readings.size();
    ServeFor(100ms);
    EXPECT_EQ(Form->Readings.size(), AtStop);
}

TEST_F(MainForm, SavedCaptureHoldsEachLineWithCrLfAndForcesItsExtension) {
    Form->AnswerDialogsWith(Path("empty.PackMonComms"));
    Trigger("Save1");
    EXPECT_EQ(QFile(Path("empty.PackMonComms")).size(), 0);

    Form->LogLine(Comms(), "$TIMEVALUE;1000", 0, false);
    Form->LogLine(Comms(), "$1;0", 0, false);
    Form->AnswerDialogsWith(Path("run1.txt"));
    Trigger("Save1");
    EXPECT_EQ(Form->LastDialog, Child<QFileDialog>("CommsSaveDialog"));
    EXPECT_FALSE(QFile::exists(Path("run1.txt")));
    EXPECT_EQ(ReadFile(Path("run1.PackMonComms")), "$TIMEVALUE;1000\r\n$1;0\r\n");
    EXPECT_EQ(Errors()->LineCount(), 0u);

    WriteFile(Path("old.packmoncomms"), "x");
    Form->AnswerDialogsWith(Path("old.packmoncomms"));
    Trigger("Save1");
    EXPECT_EQ(ReadFile(Path("old.packmoncomms")), "$TIMEVALUE;1000\r\n$1;0\r\n") << "the file the user confirmed";
    EXPECT_FALSE(QFile::exists(Path("old.PackMonComms")));
}

TEST_F(MainForm, FailedSaveReportsAndLeavesThePanesAlone) {
    Form->LogLine(Comms(), "$1;0", 0, false);
    const QString Missing = Path("missing/run1.PackMonComms");
    Form->AnswerDialogsWith(Missing);
    Trigger("Save1");
    ASSERT_EQ(Errors()->LineCount(), 1u);
    EXPECT_EQ(std::string(Errors()->Line(0)).substr(24),
              "Cannot create file \"" + DisplayPath(Missing) + "\". No such file or directory");
    EXPECT_EQ(Comms()->Text(), "$1;0\r\n");

    if (QFile::exists("/dev/full")) {
        try {
            Form->SaveCommsFile("/dev/full");
            ADD_FAILURE() << "a full device must fail";
        } catch (const EPackMonException& E) {
            EXPECT_EQ(E.Message(), "Stream write error");
        }
        EXPECT_EQ(Comms()->Text(), "$1;0\r\n");
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainForm, CancelledDialogDoesNothing) {
    Form->AnswerDialogsWith(std::nullopt);
    Trigger("Load1");
    Trigger("Save1");
    EXPECT_EQ(Errors()->LineCount(), 0u);
    EXPECT_EQ(Form->Session().Thread(), nullptr);
}

TEST_F(MainForm, ClearEmptiesOnlyTheCommsPane) {
    WriteFile(Path("c.PackMonComms"), NumberedRecords(1, 5));
    Form->LoadCommsFile(Path("c.PackMonComms"));
    Trigger("sClear1");
    EXPECT_EQ(Comms()->LineCount(), 0u);
    EXPECT_NE(Form->Session().Thread(), nullptr);
}

// --- Recent files ------------------------------------------------------------------

TEST_F(MainForm, OpenedCapturesJoinTheRecentListAndVanishedOnesLeaveIt) {
    for (const char* Name : {"a.PackMonComms", "b.PackMonComms", "c.PackMonComms"})
        WriteFile(Path(Name), NumberedRecords(1, 3));
    Form->LoadCommsFile(Path("a.PackMonComms"));
    Form->LoadCommsFile(Path("b.PackMonComms"));
    Form->LoadCommsFile(Path("c.PackMonComms"));
    Form->AnswerDialogsWith(Path("saved.PackMonComms"));
    Trigger("Save1");
    QFile::remove(Path("b.PackMonComms"));

    Form->Comms1Click();
    EXPECT_EQ(Child<QAction>("CommsMRUMenuItem0")->text(), Path("c.PackMonComms"));
    EXPECT_EQ(Child<QAction>("CommsMRUMenuItem1")->text(), Path("a.PackMonComms")) << "b has gone, saved never came";
    EXPECT_TRUE(Child<QAction>("CommsMRUMenuItem1")->isVisible());
    EXPECT_FALSE(Child<QAction>("CommsMRUMenuItem2")->isVisible());
    const std::string Ini = ReadFile(Form->IniFileName());
    EXPECT_NE(Ini.find("MRU1=" + Path("a.PackMonComms").toStdString()), std::string::npos) << Ini;

    Child<QAction>("CommsMRUMenuItem1")->trigger();
    EXPECT_EQ(Form->CommsMRU()->GetFileName(0), Path("a.PackMonComms").toStdString());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    QFile::remove(Path("c.PackMonComms"));
    Child<QAction>("CommsMRUMenuItem1")->trigger();
    EXPECT_EQ(Errors()->LineCount(), 0u) << "a file gone since the menu opened does nothing";

    delete Child<QAction>("GraphsMRUMenuItem3");
    EXPECT_THROW(Form->Graphs1Click(), EPackMonException) << "called directly, the failure is the caller's";
    Child<QMenu>("Graphs1")->aboutToShow();
    ASSERT_EQ(Errors()->LineCount(), 1u);
    EXPECT_EQ(std::string(Errors()->Line(0)).substr(24), "Not found GraphsMRUMenuItem3");
}

TEST_F(MainForm, UnwritableSettingsKeepRecentFilesInMemoryAndSaySoOnce) {
    Form.reset();
    TPackMonFileLocations Files = Locations();
    Files.IniFileName = Path("gone/PackMon.Ini");
    Form = std::make_unique<TTestForm>(Files);
    WriteFile(Path("a.PackMonComms"), NumberedRecords(1, 3));
    WriteFile(Path("b.PackMonComms"), NumberedRecords(4, 3));
    Form->LoadCommsFile(Path("a.PackMonComms"));
    Form->LoadCommsFile(Path("b.PackMonComms"));
    ASSERT_TRUE(ServeUntil([&] { return Form->Readings.size() == 3; })) << "the replay still runs";
    Child<QMenu>("Comms1")->aboutToShow();
    EXPECT_EQ(Child<QAction>("CommsMRUMenuItem1")->text(), Path("a.PackMonComms")) << "kept in memory";
    const std::string Said(Errors()->Text());
    ASSERT_NE(Said.find("Unable to write to"), std::string::npos) << Said;
    EXPECT_EQ(Said.find("Unable to write to"), Said.rfind("Unable to write to")) << "said once: " << Said;
}

// --- Closing ---------------------------------------------------------------------

TEST_F(MainForm, ClosingIsNeverRefusedAndWritesTheExitFiles) {
    Form->LogLine(Comms(), "$1;0", 0, false);
    Form->LogLine(Errors(), "boom", 1.0, true);
    WriteFile(Path("c.PackMonComms"), NumberedRecords(1, 3000));
    Form->LoadCommsFile(Path("c.PackMonComms"));
    EXPECT_TRUE(Form->close());
    const TPackMonFileLocations Files = Form->FileLocations();
    Form.reset();

    EXPECT_EQ(ReadFile(Files.CommsExitFileName), NumberedRecords(1, 3000));
    const std::string ErrorsFile = ReadFile(Files.ErrorsExitFileName);
    EXPECT_TRUE(IsTimeStamped(ErrorsFile));
    EXPECT_TRUE(ErrorsFile.ends_with(" boom\r\n"));
}

TEST_F(MainForm, ExitFilesAreWrittenEvenWhenTheyAreEmpty) {
    const TPackMonFileLocations Files = Form->FileLocations();
    Form.reset();
    EXPECT_EQ(QFile(Files.CommsExitFileName).size(), 0);
    EXPECT_TRUE(QFile::exists(Files.ErrorsExitFileName));
    EXPECT_EQ(QFile(Files.ErrorsExitFileName).size(), 0);
}

TEST_F(MainForm, FailedExitStepIsLoggedInTheErrorsFileAndLaterStepsStillRun) {
    TPackMonFileLocations Files = Locations();
    Files.CommsExitFileName = Path("gone/PackMon.PackMonComms");
    Form = std::make_unique<TTestForm>(Files);
    Form.reset();
    const std::string ErrorsFile = ReadFile(Files.ErrorsExitFileName);
    EXPECT_TRUE(ErrorsFile.ends_with(" Cannot create file \"" + DisplayPath(Files.CommsExitFileName) +
                                     "\". No such file or directory\r\n"))
        << ErrorsFile;
}

} // namespace

// --- Session journal -------------------------------------------------------------

TEST(SessionsBrowser, AReplayIsKeptListedOpenedIntoTheChartAndTheRecordingOneIsNeverDeleted) {
    QTemporaryDir Dir;
    TPackMonMainForm Window(LocateFiles(Dir.filePath("PackMon"), true, {}, {}));
    ReplaceFileContents(Dir.filePath("a.PackMonComms"), NumberedRecords(1, 5));
    Window.LoadCommsFile(Dir.filePath("a.PackMonComms"));
    ASSERT_TRUE(ServeUntil([&] { return Window.Chart1->Series(1).Count() == 5; }));
    auto* Errors = Window.findChild<TMemoPane*>("ErrorsMemo");
    Window.Session().Journal()->Flush();
    Window.ExecuteSessionsDialog = [&](TSessionsDialog& Dialog) {
        ASSERT_EQ(Dialog.Sessions().size(), 1u);
        EXPECT_EQ(SessionRowTexts(Dialog.Sessions()[0], 1)[6], "recording");
        Dialog.Confirm = [](const QString&) { return true; };
        Dialog.SelectSession(1);
        Dialog.DeleteSelected();
    };
    Window.SessionsActionExecute();
    ASSERT_EQ(Errors->LineCount(), 1u);
    EXPECT_NE(std::string(Errors->Line(0)).find("The session being recorded cannot be deleted"), std::string::npos);

    Window.COMPortItemClick(nullptr);
    Window.GraphsClearActionExecute();
    Window.ExecuteSessionsDialog = [&](TSessionsDialog& Dialog) {
        const std::vector<QString> Row = SessionRowTexts(Dialog.Sessions()[0], 0);
        EXPECT_EQ(Row[2].toStdString(), DisplayPath(Dir.filePath("a.PackMonComms")));
        EXPECT_EQ(Row[3], "5");
        EXPECT_EQ(Row[6], "closed");
        Dialog.SelectSession(1);
        Dialog.OpenSelected();
    };
    Window.SessionsActionExecute();
    EXPECT_EQ(Window.Chart1->Series(1).Count(), 5u);
    EXPECT_DOUBLE_EQ(Window.Chart1->Series(1).YValue(4), 0.005);
}

TEST(SessionsBrowser, FileReportWritesThePageOfTheSessionBeingRecorded) {
    QTemporaryDir Dir;
    TPackMonMainForm Window(LocateFiles(Dir.filePath("PackMon"), true, {}, {}));
    ReplaceFileContents(Dir.filePath("a.PackMonComms"), NumberedRecords(1, 5));
    Window.LoadCommsFile(Dir.filePath("a.PackMonComms"));
    ASSERT_TRUE(ServeUntil([&] { return Window.Chart1->Series(1).Count() == 5; }));
    Window.ExecuteFileDialog = [&](QFileDialog& Dialog) -> std::optional<QString> {
        EXPECT_EQ(Dialog.objectName(), "ReportSaveDialog");
        return Dir.filePath("run");
    };
    Window.ReportActionExecute();
    const std::string Page = ReadWholeFile(Dir.filePath("run.html"));
    EXPECT_NE(Page.find(DisplayPath(Dir.filePath("a.PackMonComms"))), std::string::npos);
    EXPECT_NE(Page.find("<tr><th>Readings</th><td>5</td></tr>"), std::string::npos);
    EXPECT_NE(Page.find("data:image/png;base64,"), std::string::npos);
}

TEST(ReviewTools, ReadingAtThePointerRangeFiguresAndANoteKeptInTheJournal) {
    QTemporaryDir Dir;
    TPackMonMainForm Window(LocateFiles(Dir.filePath("PackMon"), true, {}, {}));
    ReplaceFileContents(Dir.filePath("a.PackMonComms"), "$TIMEVALUE;60000\r\n" + NumberedRecords(1, 60));
    Window.LoadCommsFile(Dir.filePath("a.PackMonComms"));
    ASSERT_TRUE(ServeUntil([&] { return Window.Chart1->Series(1).Count() == 60; }));
    Window.resize(900, 600);
    Window.show();
    ASSERT_TRUE(ServeUntil([&] { return Window.Chart1->PlotRect().width() > 100; }));
    Window.Chart1->Repaint();
    TPackMonChart& Chart = *Window.Chart1;
    auto* Grid = Window.findChild<TValueGrid*>("StringGrid1");
    const auto Send = [&](QEvent::Type Type, double Minutes, Qt::MouseButton Button) {
        const QPoint At(static_cast<int>(Chart.xAxis->coordToPixel(Minutes / 1440)), Chart.PlotRect().center().y());
        QMouseEvent Event(Type, QPointF(At), QPointF(Chart.mapToGlobal(At)),
                          Type == QEvent::MouseMove ? Qt::NoButton : Button,
                          Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Button), Qt::NoModifier);
        QApplication::sendEvent(&Chart, &Event);
    };

    Send(QEvent::MouseMove, 10.2, Qt::NoButton);
    EXPECT_EQ(Grid->Text(0), "00:10:00");
    EXPECT_EQ(Grid->Text(1), "25.911");
    EXPECT_EQ(Grid->Text(2), "0.011");
    EXPECT_EQ(Grid->Text(9), "3.7");
    QEvent Leave(QEvent::Leave);
    QApplication::sendEvent(&Chart, &Leave);
    EXPECT_EQ(Grid->Text(0), "00:59:00") << "the latest values again";

    Send(QEvent::MouseButtonPress, 19.5, Qt::RightButton);
    Send(QEvent::MouseMove, 30.5, Qt::RightButton);
    Send(QEvent::MouseButtonRelease, 30.5, Qt::RightButton);
    TBalancePage& Page = *Window.findChild<TBalancePage*>("BalanceTabSheet");
    EXPECT_EQ(Window.findChild<QTabWidget*>("PageControl1")->currentWidget(), &Page);
    EXPECT_TRUE(Page.RangeText().contains(": 11 readings; largest spread ")) << Page.RangeText().toStdString();
    EXPECT_EQ(Page.RangeTable().item(0, 0)->text(), "0.021");
    EXPECT_EQ(Page.RangeTable().item(0, 1)->text(), "0.031");

    Window.ReviewTools().AskNoteText = [] { return std::optional<std::string>("cell 3 warm"); };
    Window.findChild<QAction*>("AddNoteAction")->trigger();
    ASSERT_EQ(Chart.Markers().size(), 1u);
    EXPECT_EQ(Chart.Markers()[0].Label, "cell 3 warm");
    EXPECT_DOUBLE_EQ(Chart.Markers()[0].X, 59 / 1440.0) << "at the newest reading";
    Window.ExecuteFileDialog = [&](QFileDialog&) -> std::optional<QString> { return Dir.filePath("run"); };
    Window.ReportActionExecute();
    EXPECT_NE(ReadWholeFile(Dir.filePath("run.html")).find(": cell 3 warm</li>"), std::string::npos);

    // The kept run, opened again from the journal, brings its note and its clock.
    Window.GraphsClearActionExecute();
    ASSERT_TRUE(Chart.Markers().empty());
    EXPECT_FALSE(Chart.ClockStartTime().has_value()) << "a replay's times say nothing of the clock";
    Window.Session().Journal()->Flush();
    Window.ExecuteSessionsDialog = [&](TSessionsDialog& Dialog) {
        Dialog.SelectSession(1);
        Dialog.OpenSelected();
    };
    Window.SessionsActionExecute();
    ASSERT_EQ(Chart.Markers().size(), 1u);
    EXPECT_EQ(Chart.Markers()[0].Label, "cell 3 warm");
    EXPECT_NEAR(Chart.Markers()[0].X, 59 / 1440.0, 1 / 1440.0);
    ASSERT_TRUE(Chart.ClockStartTime().has_value());
    EXPECT_NEAR(*Chart.ClockStartTime(), LocalDateTimeOfUtc(QDateTime::currentMSecsSinceEpoch()) - 59 / 1440.0,
                1 / 1440.0);
    Window.GraphsClearActionExecute();
    EXPECT_FALSE(Chart.ClockStartTime().has_value()) << "forgotten with the run";
}

TEST_F(MainForm, EveryNameTheWindowWritesInAGraphFileIsOnTheFrozenList) {
    Form->setObjectName(QString::fromLatin1(MainFormComponentName));
    const QString File = Dir.filePath("names.PackMonGraphs");
    Form->SaveGraphsFile(File);
    const std::string Bytes = ReadWholeFile(File);
    ASSERT_GT(Bytes.size(), 2u);
    const std::size_t OwnerLength = static_cast<unsigned char>(Bytes[0]);
    const std::string Owner = Bytes.substr(1, OwnerLength);
    const std::string Component = Bytes.substr(OwnerLength + 2, static_cast<unsigned char>(Bytes[OwnerLength + 1]));
    TProgramSeriesStore Chart;
    TWindowGraphHost Host(MainFormComponentName, Chart);
    EXPECT_EQ(Owner, MainFormComponentName);
    EXPECT_EQ(Host.FindComponent(Component).Kind, TGraphComponent::Chart) << Component;
}
