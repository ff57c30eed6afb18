// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Timing program for packmon-convert as a user runs it: a 300,000-record
// capture to a CSV file and a graph file, the whole process timed from
// start to exit, seven times.

#include "SampleCaptureUnit.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

double RunSeconds(const std::vector<std::string>& Arguments) {
    std::vector<char*> Argv;
    for (const std::string& Argument : Arguments)
        Argv.push_back(const_cast<char*>(Argument.c_str()));
    Argv.push_back(nullptr);
    const auto Start = std::chrono::steady_clock::now();
    pid_t Child = 0;
    if (posix_spawn(&Child, Argv[0], nullptr, nullptr, Argv.data(), environ) != 0)
        return -1;
    int Status = 0;
    ::waitpid(Child, &Status, 0);
    const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    return WIFEXITED(Status) && WEXITSTATUS(Status) == 0 ? Seconds : -1;
}

} // namespace

int main() {
    constexpr std::size_t Records = 300000;
    char Folder[] = "/tmp/packmon-convert-bench-XXXXXX";
    if (::mkdtemp(Folder) == nullptr)
        return 1;
    const std::string Dir = Folder;
    const std::string Capture = Dir + "/long.PackMonComms";
    std::ofstream(Capture, std::ios::binary) << MakeLongCapture(Records);
    std::vector<double> Seconds;
    for (int Run = 0; Run < 7; ++Run) {
        const double S = RunSeconds(
            {PACKMON_CONVERTER, Capture, "--csv", Dir + "/long.CSV", "--graphs", Dir + "/long.PackMonGraphs"});
        if (S < 0) {
            std::fprintf(stderr, "packmon-convert failed\n");
            return 1;
        }
        Seconds.push_back(S);
    }
    std::sort(Seconds.begin(), Seconds.end());
    const double Median = Seconds[Seconds.size() / 2];
    std::printf("packmon-convert:      %zu records to CSV and a graph file in %.2f s (fastest %.2f s), the whole"
                " process: %.2f million records/s  (target >= 1.5)\n",
                Records, Median, Seconds.front(), static_cast<double>(Records) / Median / 1e6);
    std::system(("rm -rf '" + Dir + "'").c_str());
    return 0;
}
