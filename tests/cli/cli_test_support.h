// Running vantoro-cli in the tests: in process with captured streams, or as
// the built binary for its exit codes; and reading back the PNG files it
// writes.
#pragma once

#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_app.h"
#include "tests/support/test_files.h"

namespace vantoro::testing {

struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
};

inline CliRun runWith(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    CliRun run;
    run.code = runCli(args, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

// A usage error or failure: nothing on stdout, one prefixed line on stderr.
inline void expectOneLineError(const CliRun& run, int code, const std::string& fragment = "") {
    EXPECT_EQ(code, run.code) << run.err;
    EXPECT_EQ("", run.out);
    EXPECT_EQ(0u, run.err.rfind("vantoro-cli: ", 0)) << run.err;
    EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
    EXPECT_NE(std::string::npos, run.err.find(fragment)) << run.err;
}

// The exit status of the built program.
inline int runBinary(const std::string& arguments) {
    const std::string command =
        std::string(VANTORO_CLI_PATH) + " " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct PngView {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint8_t colorType = 0xFF;
    Bytes rgba;  // decoded as 8-bit RGBA whatever was stored

    // Pixel (x, y) as 0xRRGGBB, ignoring alpha.
    std::uint32_t rgb(std::uint32_t x, std::uint32_t y) const {
        const std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
        return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
    }
};

inline PngView readPng(const Bytes& file) {
    PngView view;
    if (file.size() < 33 || png_sig_cmp(file.data(), 0, 8) != 0) return view;
    view.colorType = file[25];  // IHDR follows the signature
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return view;
    image.format = PNG_FORMAT_RGBA;
    view.width = image.width;
    view.height = image.height;
    view.rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, view.rgba.data(), 0, nullptr)) view.rgba.clear();
    return view;
}

}  // namespace vantoro::testing
