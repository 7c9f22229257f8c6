#include "run/progress.h"
#include "run/run_state.h"

namespace {
class NoProgress : public FileProgress {
public:
    void Begin(size_t) override {}
    void Advance(const char*) override {}
    void End() override {}
};
}  // namespace

FileProgress& RunProgress() {
    static NoProgress none;
    FileProgress* progress = Run().progress;
    return progress ? *progress : none;
}
