#include "ui/progress_bar.h"
#include <gtest/gtest.h>
#include "res/resource.h"
#include "run/run_state.h"

TEST(ProgressBar, FillsInProportionToTheFilesAndNeverPastItsWidth) {
    struct Case {
        size_t done, total;
        int width, filled;
    } cases[] = {
        {0, 10, 100, 0},   {1, 10, 100, 10},  {5, 10, 100, 50},  {10, 10, 100, 100}, {11, 10, 100, 100},
        {3, 0, 100, 0},    {1, 3, 100, 33},   {2, 3, 100, 66},   {5, 10, 0, 0},      {5, 10, -4, 0},
        {4000000000u, 4000000001u, 1000, 999},  // no overflow of done * width
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.filled, FilledWidth(c.done, c.total, c.width)) << c.done << "/" << c.total << " of " << c.width;
}

// The bar stands in for the control it covers while a step runs, and gives it back.
TEST(ProgressBar, TakesTheCoveredControlsPlaceOnlyWhileAStepRuns) {
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 300, 80, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(parent);
    HWND covered = CreateWindowExA(0, "EDIT", "C:\\Program Files\\Product", WS_CHILD | WS_VISIBLE, 10, 10, 280, 20,
                                   parent, nullptr, nullptr, nullptr);
    {
        ProgressBar bar;
        bar.Create(parent, RECT{10, 10, 290, 30}, covered);
        HWND control = GetDlgItem(parent, IDC_PROGRESS);
        ASSERT_TRUE(control);
        EXPECT_FALSE(IsWindowVisible(control)) << "hidden until a step begins";
        bar.Begin(3);
        EXPECT_TRUE(IsWindowVisible(control));
        EXPECT_FALSE(IsWindowVisible(covered));
        for (const char* f : {"C:\\P\\a.txt", "C:\\P\\b.txt", "C:\\P\\c.txt"}) bar.Advance(f);
        bar.End();
        EXPECT_FALSE(IsWindowVisible(control));
        EXPECT_TRUE(IsWindowVisible(covered)) << "the folder field comes back";
        // A covered control that was hidden already stays hidden.
        ShowWindow(covered, SW_HIDE);
        bar.Begin(1);
        bar.End();
        EXPECT_FALSE(IsWindowVisible(covered));
    }
    DestroyWindow(parent);
}

// A run without a bar or window reports to nothing, and the run's own is used when set.
TEST(ProgressBar, TheRunsProgressIsTheOneSet) {
    struct Counting : FileProgress {
        size_t begun = 0, advanced = 0, ended = 0;
        void Begin(size_t total) override { begun = total; }
        void Advance(const char*) override { ++advanced; }
        void End() override { ++ended; }
    } counting;
    RunProgress().Begin(5);  // nothing set: nothing happens, nothing breaks
    RunProgress().Advance("x");
    ::Run().progress = &counting;
    RunProgress().Begin(2);
    RunProgress().Advance("a");
    RunProgress().Advance("b");
    RunProgress().End();
    ::Run().progress = nullptr;
    EXPECT_EQ(2u, counting.begun);
    EXPECT_EQ(2u, counting.advanced);
    EXPECT_EQ(1u, counting.ended);
}
