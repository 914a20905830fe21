// The report's page in a real browser: headless Chromium renders it to a PNG, and the picture
// must show each chart with the expected number of bars, counted by their colours. Skipped where
// Chromium or ImageMagick's convert is missing.
#include "report/logged_unit.h"
#include "report/report_html.h"
#include "report/station_figures.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

namespace tolvane::cli {
namespace {

using tolvane::test::TempDir;

constexpr const char* kChromium = "/usr/bin/chromium";

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

// A binary PPM (P6, maxval 255), as convert writes it.
bool ReadPpm(const std::string& path, Picture& picture) {
    std::ifstream file(path, std::ios::binary);
    std::string magic;
    int maxval = 0;
    file >> magic >> picture.width >> picture.height >> maxval;
    file.get();
    if (magic != "P6" || maxval != 255) return false;
    picture.rgb.resize(static_cast<std::size_t>(picture.width * picture.height * 3));
    file.read(reinterpret_cast<char*>(picture.rgb.data()),
              static_cast<std::streamsize>(picture.rgb.size()));
    return static_cast<bool>(file);
}

bool Near(const unsigned char* pixel, const char* hex) {
    for (int c = 0; c < 3; ++c) {
        const int want = std::stoi(std::string(hex + 1 + 2 * c, 2), nullptr, 16);
        if (std::abs(pixel[c] - want) > 6) return false;
    }
    return true;
}

// The most separate runs of `colour` on any one row: the bars a vertical bar chart shows.
int BarsOf(const Picture& picture, const char* colour) {
    int most = 0;
    for (int y = 0; y < picture.height; ++y) {
        int runs = 0;
        bool inside = false;
        for (int x = 0; x < picture.width; ++x) {
            const bool hit =
                Near(&picture.rgb[static_cast<std::size_t>((y * picture.width + x) * 3)], colour);
            if (hit && !inside) ++runs;
            inside = hit;
        }
        most = std::max(most, runs);
    }
    return most;
}

LoggedUnit Unit(std::int64_t endS, const char* place, UnitOutcome outcome) {
    LoggedUnit unit;
    unit.endS = endS;
    unit.durationMs = 20000;
    unit.place = place;
    unit.outcome = outcome;
    unit.result = outcome == UnitOutcome::Failed ? "DFU_ERR_VERIFY" : "DFU_SUCCESS";
    for (std::size_t i = 0; i < unit.phaseMs.size(); ++i) unit.phaseMs[i] = 500 * (i + 1);
    return unit;
}

TEST(ReportPage, RendersItsChartsInHeadlessChromium) {
    if (std::system("test -x /usr/bin/chromium && command -v convert >/dev/null") != 0) {
        GTEST_SKIP() << "no " << kChromium << " or no ImageMagick convert";
    }
    // Four busy minutes, three slots, one of them failing.
    std::vector<LoggedUnit> units;
    for (const std::int64_t minute : {1, 5, 9, 20}) {
        units.push_back(Unit(minute * 60, "slot-1", UnitOutcome::Passed));
        units.push_back(Unit(minute * 60, "slot-2", UnitOutcome::Passed));
    }
    units.push_back(Unit(20 * 60, "slot-3", UnitOutcome::Passed));
    units.push_back(Unit(20 * 60, "slot-3", UnitOutcome::Failed));
    units.push_back(Unit(20 * 60, "slot-3", UnitOutcome::Failed));
    const StationFigures figures = ComputeFigures(units);

    TempDir dir;
    const std::string page = dir.write("report.html", ReportHtml(figures, "station.log"));
    const std::string png = dir.path("report.png");
    const std::string ppm = dir.path("report.ppm");
    const std::string render = std::string(kChromium) +
                               " --headless --no-sandbox --disable-gpu --hide-scrollbars"
                               " --force-color-profile=srgb --window-size=900,1800"
                               " --screenshot=" +
                               png + " file://" + page + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(render.c_str()), 0) << render;
    ASSERT_EQ(std::system(("convert " + png + " " + ppm).c_str()), 0);
    Picture picture;
    ASSERT_TRUE(ReadPpm(ppm, picture));
    // Kept beside the test program for a person to look at, wherever the test is started from.
    std::error_code ignored;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", ignored);
    if (!ignored) {
        std::filesystem::copy_file(png, program.parent_path() / "report_page_test.png",
                                   std::filesystem::copy_options::overwrite_existing, ignored);
    }

    EXPECT_EQ(BarsOf(picture, kPassedColour), 4);    // the four minutes with units
    EXPECT_EQ(BarsOf(picture, kFailedColour), 1);    // one of them with failures
    EXPECT_EQ(BarsOf(picture, kPhaseColour), 5);     // one bar per phase
    EXPECT_EQ(BarsOf(picture, kSlotColour), 3);      // one per slot
    EXPECT_EQ(BarsOf(picture, kStandOutColour), 1);  // slot-3 stands out
}

}  // namespace
}  // namespace tolvane::cli
