// The argument text taken apart: the run modes of before (the whole text compared with
// "remove", "reboot" and "uninstall") and the switches of an unattended run.
//
// Pure code without a Windows header, so that it can be tested and fuzzed on any host.
#pragma once
#include <stddef.h>

enum class RunMode { Install, Uninstall, Reboot, Remove };

// What the person or the tool that started the run sees of it.
enum class Quietness {
    Shown,     // the backdrop and the dialog, as ever
    Progress,  // a small window with the step and a progress bar; no question, no button
    Silent,    // no window at all
};

constexpr size_t kSwitchValueSize = 260;  // a folder or a log path, terminator included

struct CommandLine {
    RunMode mode = RunMode::Install;
    bool switches = false;  // any switch was given: the run ends with an exit code
    bool bad = false;       // an unknown switch, or a word among switches: nothing is run
    char badWord[64] = "";  // the first such word (cut), for the usage
    bool help = false;      // /? or /help
    Quietness quiet = Quietness::Shown;
    bool folderGiven = false;
    bool folderCut = false;  // the folder did not fit: refused like a folder too long
    char folder[kSwitchValueSize] = "";
    bool log = false;
    char logPath[kSwitchValueSize] = "";  // empty: the default file
    bool noRestart = false;
    bool forceRestart = false;
};

// Takes the argument text apart (the text after the program name).
// - Exactly "remove", "reboot" or "uninstall": that mode, no switches (as before).
// - "uninstall" (any case) followed by switches: an uninstall with them.
// - Switches only (each begins with / or -, or is INSTALLDIR=...): an install with them.
// - Text that begins with / or - but holds an unknown switch or a plain word: bad.
// - Anything else: a plain install, as before.
// Letter case of switches does not matter; a value may be quoted ("/D=" takes the rest of
// the text, blanks included, and so comes last).
void ParseCommandLine(const char* arguments, CommandLine* out);
