// How far the steps that handle many files are: the dialog's progress bar and the
// progress-only window show it; a run without either gives nothing.
#pragma once
#include <stddef.h>

class FileProgress {
public:
    // A step begins with this many files (0: unknown; the bar stays empty).
    virtual void Begin(size_t total) = 0;
    // One more of them is done (copied, kept, removed or failed).
    virtual void Advance(const char* path) = 0;
    // The step is over: the bar goes.
    virtual void End() = 0;

protected:
    ~FileProgress() = default;
};

// The run's (Run().progress), or one that shows nothing.
FileProgress& RunProgress();
