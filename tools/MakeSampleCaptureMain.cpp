// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
//
// packmon-make-sample FILE: writes the sample comms capture that ships in
// examples/, so the file can always be made again from source.
#include "SampleCaptureUnit.h"

#include <cstdio>
#include <fstream>

int main(int Argc, char** Argv) {
    if (Argc != 2) {
        std::fprintf(stderr, "usage: packmon-make-sample FILE.PackMonComms\n");
        return 2;
    }
    const std::string Capture = MakeSampleCapture();
    std::ofstream File(Argv[1], std::ios::binary | std::ios::trunc);
    File.write(Capture.data(), static_cast<std::streamsize>(Capture.size()));
    File.close();
    if (!File) {
        std::perror(Argv[1]);
        return 1;
    }
    return 0;
}
