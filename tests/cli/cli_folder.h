#pragma once

#include "cli_app.h"

#include "core/bilinear_weights.h"
#include "imagefile/image_file.h"
#include "tests/support/file_bytes.h"
#include "tests/support/images.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

// A scratch folder for the program's files, and runs of the program that keep what it printed.
class CliFolder : public ::testing::Test {
protected:
    void SetUp() override { InitBilinearWeights(); dir = MakeScratchFolder("vistrel-cli"); ASSERT_FALSE(dir.empty()); }
    void TearDown() override { RemoveScratchFolder(dir); }

    std::string path(const std::string& name) const { return dir + "/" + name; }
    std::string readBytes(const std::string& name) const { return ReadFileBytes(path(name)); }
    void writeBytes(const std::string& name, const std::string& bytes) { WriteFileBytes(path(name), bytes); }
    void write(const std::string& name, const Bitmap& b) { ASSERT_TRUE(save(b, String(path(name)), 90, nullptr)); }
    bool logged(const std::string& text) const { return log.find(text) != std::string::npos; }
    // A smooth picture with nothing worth removing.
    static Bitmap cleanPicture() {
        return generated(64, 48, [](int32_t x, int32_t y) { return packPixel(40 + 2 * x, 60 + y, 90); });
    }
    Bitmap loaded(const std::string& name) const { Bitmap b; load(b, String(path(name)), nullptr); return b; }
    // Runs the program; returns its status and keeps what went to stdout (printed) and stderr (log), a terminal or not.
    int run(std::vector<std::string> args, bool terminal = false) {
        std::ostringstream out, err;
        const int status = RunCli(args, out, err, terminal);
        printed = out.str(), log = err.str();
        return status;
    }

    std::string dir, printed, log;
};
