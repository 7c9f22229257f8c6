// A folder of its own for each shortcut test: an install folder, the user's special
// folders pointed at test folders, a script file written for the test, and the run's
// channel and report recorded.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include "run/run_state.h"
#include "base/text.h"
#include "e2e_helpers.h"
#include "fixtures.h"
#include "recording_channel.h"
#include "shell_links.h"
#include "stage.h"

// Answers every message box of this process with OK and keeps its caption and text,
// so that a box nobody expected fails its test instead of hanging it: a step that
// shows one instead of asking through the run's channel.
class BoxAnswerer {
public:
    struct Box {
        std::wstring caption, text;
    };
    BoxAnswerer()
        : thread_([this] {
              while (!done_) {
                  HWND box = ui::WaitForMessageBox(GetCurrentProcessId(), 100);
                  if (!box) continue;
                  // Let the box finish its set-up (slow under emulation): its texts come last.
                  ui::WaitUntil([&] { return !ui::Text(box).empty() && !ui::MessageBoxText(box).empty(); }, 5000);
                  Box seen{ui::Text(box), ui::MessageBoxText(box)};
                  {
                      std::lock_guard<std::mutex> lock(mutex_);
                      boxes_.push_back(seen);
                  }
                  ui::Click(box, IDOK);
                  ui::WaitUntil([&] { return !IsWindow(box); }, 5000);
              }
          }) {}
    ~BoxAnswerer() {
        done_ = true;
        thread_.join();
    }
    std::vector<Box> Take() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<Box> out;
        out.swap(boxes_);
        return out;
    }

private:
    std::atomic<bool> done_{false};
    std::mutex mutex_;
    std::vector<Box> boxes_;
    std::thread thread_;
};

class ShellTest : public testing::Test {
protected:
    void SetUp() override {
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        root_ = std::string("C:\\shelltest\\") + info->test_suite_name() + "_" + info->name();
        stage::DeleteTree(root_);
        install_ = root_ + "\\App";
        stage::MakeFolders(install_);
        for (const char* name : {"Programs", "SendTo", "Desktop", "Startup"}) folders_.Set(name, In(name));
        script_ = In("Setup.ini");
        Earlier("");  // a first install: no record in the install folder
    }
    void TearDown() override {
        for (const BoxAnswerer::Box& box : boxes_.Take())
            ADD_FAILURE() << "unexpected message box \"" << ui::Narrow(box.caption) << "\": " << ui::Narrow(box.text);
        for (const testing_channel::Seen& seen : TakeAsked())
            ADD_FAILURE() << "unexpected message \"" << seen.caption << "\": " << seen.text;
        stage::DeleteTree(root_);
    }

    std::string In(const std::string& relative) const { return root_ + "\\" + relative; }
    // The script as the shortcut steps of an install meet it: the given lines after the
    // install folder of the test, its files copied and its facts begun afresh. An older
    // record keeps no facts.
    void WriteScript(const std::vector<std::string>& lines, const std::string& file = "Setup.ini",
                     bool older = false) {
        script_ = In(file);
        std::vector<std::string> all = {"[Root]", "Named=" + install_, "[CopiedFile]", "Count=1"};
        if (!older) all.insert(all.end(), {"[Created]", "Recorded=1"});
        all.insert(all.end(), lines.begin(), lines.end());
        ASSERT_TRUE(stage::WriteFile(script_, Crlf(all)));
    }
    // The record of the earlier install that the steps read (empty: none).
    void Earlier(const std::string& record) {
        CopyBounded(::Run().earlierRecord, sizeof ::Run().earlierRecord, record.c_str());
    }
    // The facts of one kind in the script, in order, as "a | b".
    std::string Facts(const std::string& kind) const {
        std::string out;
        for (int i = 0;; ++i) {
            std::string value = Value("Created", (kind + std::to_string(i)).c_str());
            if (value == "<absent>") break;
            out += (out.empty() ? "" : " | ") + value;
        }
        return out;
    }
    // A value as the file on disk holds it ("<absent>" without such a line).
    std::string Value(const char* section, const char* key) const {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, script_.c_str());
        return e2e::IniValue(script_, section, key);
    }
    // What the steps asked since the last call, and forgets it.
    std::vector<testing_channel::Seen> TakeAsked() {
        std::vector<testing_channel::Seen> seen;
        seen.swap(channel_.seen);
        return seen;
    }
    // The actions told since the last call as "word object", one a line, and forgets them.
    std::string TakeTold() {
        std::string out;
        for (const testing_channel::Action& a : report_.actions) out += a.word + " " + a.object + "\n";
        report_.actions.clear();
        report_.notes.clear();
        report_.sections.clear();
        return out;
    }
    bool ReadOnly(const std::string& path) const {
        DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    }

    std::string root_, install_, script_;
    links::ShellFolders folders_;
    BoxAnswerer boxes_;
    testing_channel::RecordingChannel channel_;
    testing_channel::RecordingReport report_;
    testing_channel::Use use_{&channel_, &report_};
};
