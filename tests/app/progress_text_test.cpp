// What pane 0 shows during a run: which progress values replace the text, and their form.
#include "progress_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace vandrel {
namespace {

struct Pass {
    bool downloading;
    std::uint32_t percentage;
};

// The texts a run of polling passes writes, in order.
std::vector<std::u16string> Written(const std::vector<Pass>& passes) {
    ProgressDisplay display;
    std::vector<std::u16string> texts;
    for (const Pass& pass : passes) {
        if (auto text = display.next(pass.downloading, pass.percentage)) texts.push_back(*text);
    }
    return texts;
}

TEST(ProgressText, Format) {
    EXPECT_EQ(ProgressText(0), u"Update Percentage = 0%");
    EXPECT_EQ(ProgressText(42), u"Update Percentage = 42%");
    EXPECT_EQ(ProgressText(100), u"Update Percentage = 100%");
    EXPECT_EQ(ProgressText(255), u"Update Percentage = 255%");
}

TEST(ProgressDisplay, NothingIsWrittenOutsideTheDownload) {
    EXPECT_TRUE(Written({{false, 255}, {false, 40}, {false, 100}}).empty());
}

TEST(ProgressDisplay, NeitherNoDataNorZeroReplacesTheSearchText) {
    EXPECT_TRUE(Written({{true, 255}, {true, 0}, {true, 255}, {true, 0}}).empty());
}

TEST(ProgressDisplay, EachNewValueOnceInOrder) {
    EXPECT_EQ(Written({{false, 255},
                       {true, 255},
                       {true, 0},
                       {true, 3},
                       {true, 3},
                       {true, 3},
                       {true, 57},
                       {true, 100},
                       {true, 100},
                       {false, 100}}),
              (std::vector<std::u16string>{u"Update Percentage = 3%", u"Update Percentage = 57%",
                                           u"Update Percentage = 100%"}));
}

TEST(ProgressDisplay, AValueIsNeverWrittenTwiceInARowEvenAcrossPauses) {
    // The download pauses (downloading drops) and resumes with the same value.
    EXPECT_EQ(
        Written({{true, 10}, {false, 10}, {true, 10}, {true, 11}}),
        (std::vector<std::u16string>{u"Update Percentage = 10%", u"Update Percentage = 11%"}));
}

TEST(ProgressDisplay, TheValueReachedWhenTheDownloadEndsIsShownOnce) {
    // The last data report and the end of the download fall between two passes.
    EXPECT_EQ(
        Written({{true, 98}, {false, 100}, {false, 100}, {false, 100}}),
        (std::vector<std::u16string>{u"Update Percentage = 98%", u"Update Percentage = 100%"}));
    // A download that failed halfway keeps its value: nothing new to write.
    EXPECT_EQ(Written({{true, 50}, {false, 50}}),
              (std::vector<std::u16string>{u"Update Percentage = 50%"}));
}

TEST(ProgressDisplay, EveryRunStartsFromZero) {
    // A fresh display per run: the second run shows its 100 again.
    EXPECT_EQ(Written({{true, 100}}).size(), 1u);
    EXPECT_EQ(Written({{true, 100}}).size(), 1u);
}

}  // namespace
}  // namespace vandrel
