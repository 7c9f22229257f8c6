#include "run/report.h"
#include "run/run_state.h"

void StepTotals::Add(Outcome outcome) {
    switch (outcome) {
    case Outcome::Made: ++made; break;
    case Outcome::Replaced: ++replaced; break;
    case Outcome::Kept: ++kept; break;
    case Outcome::Removed: ++removed; break;
    case Outcome::Failed: ++failed; break;
    case Outcome::Restart: ++restart; break;
    case Outcome::Told: break;
    }
}

void StepTotals::Add(const StepTotals& o) {
    made += o.made;
    replaced += o.replaced;
    kept += o.kept;
    removed += o.removed;
    failed += o.failed;
    restart += o.restart;
}

Report& RunReport() {
    static TotalsReport fallback;
    Report* report = Run().report;
    return report ? *report : fallback;
}
