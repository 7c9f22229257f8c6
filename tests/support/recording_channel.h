// A channel that records what a step asks and tells, answers as the test says (then No
// to a question and OK to a report), and may look at the machine while a message is
// "open"; a report that records every action. Tests of steps use these instead of
// message boxes and answering threads.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>
#include "run/channel.h"
#include "run/report.h"
#include "run/run_state.h"

namespace testing_channel {

struct Seen {
    Message::Kind kind;
    std::string caption, text;
    bool defaultNo;
};

class RecordingChannel : public Channel {
public:
    explicit RecordingChannel(std::vector<Answer> answers = {}) : answers_(std::move(answers)) {}
    Answer Ask(const Message& m) override {
        seen.push_back({m.kind, m.caption ? m.caption : "", m.text ? m.text : "", m.defaultNo});
        if (whileOpen) whileOpen();
        size_t i = seen.size() - 1;
        if (m.kind != Message::Question) return Answer::Ok;
        return i < answers_.size() ? answers_[i] : Answer::No;
    }
    std::vector<Seen> seen;
    std::function<void()> whileOpen;  // called while a message waits for its answer

private:
    std::vector<Answer> answers_;
};

struct Action {
    Outcome outcome;
    std::string word, object, detail;
    DWORD error;
};

class RecordingReport : public Report {
public:
    void Section(const char* title) override { sections.push_back(title); }
    void Action(Outcome o, const char* word, const char* object, const char* detail, DWORD error) override {
        actions.push_back({o, word, object, detail ? detail : "", error});
        totals.Add(o);
    }
    void Note(const char* text) override { notes.push_back(text); }
    std::vector<std::string> sections, notes;
    std::vector<testing_channel::Action> actions;
    StepTotals totals;
};

// The run's channel and report for a scope.
class Use {
public:
    Use(Channel* channel, Report* report) : channel_(::Run().channel), report_(::Run().report) {
        ::Run().channel = channel;
        ::Run().report = report;
    }
    ~Use() {
        ::Run().channel = channel_;
        ::Run().report = report_;
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

private:
    Channel* channel_;
    Report* report_;
};

}  // namespace testing_channel
