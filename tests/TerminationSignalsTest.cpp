// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "EventLoopSupport.h"
#include "TerminationSignalsUnit.h"
#include "TestSupport.h"
#include "WindowTerminationUnit.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(TerminationSignals, EachSignalBecomesACallOnTheMainThreadAndHandlingIsPutBack) {
    struct sigaction Before = {};
    sigaction(SIGTERM, nullptr, &Before);
    {
        int Calls = 0;
        TTerminationSignals Signals([&] { ++Calls; });
        for (int Signal : {SIGTERM, SIGINT, SIGHUP}) {
            const int Expected = Calls + 1;
            std::raise(Signal);
            ASSERT_TRUE(ServeUntil([&] { return Calls == Expected; })) << Signal;
        }
    }
    struct sigaction After = {};
    sigaction(SIGTERM, nullptr, &After);
    EXPECT_EQ(After.sa_handler, Before.sa_handler);
}

TEST(TerminationSignals, ADialogLeftOpenIsClosedWithTheWindow) {
    QWidget Window;
    Window.show();
    QDialog Dialog(&Window);
    bool Closed = false;
    QTimer::singleShot(0, &Window, [&] {
        CloseForTermination(Window);
        Closed = true;
    });
    Dialog.exec(); // returns only once the dialog has been closed
    EXPECT_TRUE(Closed);
    EXPECT_FALSE(Window.isVisible());
}

TEST(TerminationSignals, SigtermClosesThePackMonWindowAndWritesTheExitFiles) {
    QTemporaryDir Dir;
    const QString Program = Dir.filePath("PackMon");
    ASSERT_TRUE(QFile::copy(QString::fromUtf8(PACKMON_EXECUTABLE), Program));
    QFile::setPermissions(Program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcess PackMon;
    QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
    Environment.insert("QT_QPA_PLATFORM", "offscreen");
    PackMon.setProcessEnvironment(Environment);
    PackMon.start(Program, {});
    ASSERT_TRUE(PackMon.waitForStarted());
    const auto Deadline = std::chrono::steady_clock::now() + 20s;
    while (!CatchesSignal(PackMon.processId(), SIGTERM) && std::chrono::steady_clock::now() < Deadline)
        std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(CatchesSignal(PackMon.processId(), SIGTERM));

    ::kill(static_cast<pid_t>(PackMon.processId()), SIGTERM);
    ASSERT_TRUE(PackMon.waitForFinished(20000));
    EXPECT_EQ(PackMon.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(PackMon.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(Dir.filePath("PackMon.PackMonComms")));
    EXPECT_TRUE(QFile::exists(Dir.filePath("PackMon.Errors")));
}

} // namespace
