#include "run/run_state.h"

RunState& Run() {
    static RunState state;
    return state;
}
