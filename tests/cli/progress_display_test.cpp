#include "output/progress_display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace tolvane::cli {
namespace {

TEST(ProgressFormat, BarShowsShareBytesRateAndTime) {
    EXPECT_EQ(FormatProgressBar({50, 8192, 16384, 2.0}),
              "[###############---------------]  50%  8192/16384 bytes  4.0 KiB/s  00:02");
    EXPECT_EQ(FormatProgressBar({0, 0, 16384, 0}),
              "[------------------------------]   0%  0/16384 bytes  -  00:00");
    EXPECT_EQ(FormatProgressBar({100, 16384, 16384, 61.5}).substr(0, 37),
              "[##############################] 100%");
}

TEST(ProgressFormat, RateAndElapsedUnits) {
    EXPECT_EQ(FormatRate(-1), "-");
    EXPECT_EQ(FormatRate(812), "812 B/s");
    EXPECT_EQ(FormatRate(1536), "1.5 KiB/s");
    EXPECT_EQ(FormatRate(3 * 1024 * 1024), "3.0 MiB/s");
    EXPECT_EQ(FormatElapsed(59.9), "00:59");
    EXPECT_EQ(FormatElapsed(754), "12:34");
    EXPECT_EQ(FormatElapsed(3723), "1:02:03");
}

TEST(ProgressDisplay, TerminalRedrawsInPlaceOnlyOnChange) {
    std::ostringstream out;
    ProgressDisplay display(out, true, true);
    display.phase("Searching device...");
    display.update({10, 100, 1000, 1});
    display.update({10, 100, 1000, 1});  // nothing new: not drawn again
    display.update({20, 200, 1000, 2});
    display.finish();
    const std::string text = out.str();
    EXPECT_EQ(text.rfind("Searching device...\n", 0), 0u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 2);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
}

TEST(ProgressDisplay, TerminalPadsOverTheRestOfALongerLine) {
    std::ostringstream out;
    ProgressDisplay display(out, true, true);
    const ProgressSample slow{10, 5, 1000, 36000};  // "10:00:00"
    const ProgressSample fast{10, 5, 1000, 10};     // "00:10"
    display.update(slow);
    display.update(fast);
    const std::string text = out.str();
    const std::string last = text.substr(text.rfind('\r') + 1);
    EXPECT_EQ(last.size(), FormatProgressBar(slow).size());
    EXPECT_EQ(last.substr(0, FormatProgressBar(fast).size()), FormatProgressBar(fast));
    EXPECT_EQ(last.find_last_not_of(' ') + 1, FormatProgressBar(fast).size());
}

TEST(ProgressDisplay, OutsideATerminalOneLinePerTenth) {
    std::ostringstream out;
    ProgressDisplay display(out, false, true);
    for (std::uint32_t p = 0; p <= 100; p += 5) display.update({p, p * 10, 1000, 1});
    display.finish();
    const std::string text = out.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 11);  // 0, 10, ..., 100
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_NE(text.find("100%  1000/1000 bytes"), std::string::npos);
}

TEST(ProgressDisplay, DisabledWritesNothing) {
    std::ostringstream out;
    ProgressDisplay display(out, true, false);
    display.phase("Searching device...");
    display.update({50, 1, 2, 1});
    display.finish();
    EXPECT_TRUE(out.str().empty());
}

}  // namespace
}  // namespace tolvane::cli
