// The whole viewer back to program start, as one thing: tests and
// benchmarks run the viewer many times in one process.
#pragma once

namespace orbex {

// Called by the tests' and benchmarks' set-up, and between two runs in one
// process: releases the display objects the viewer holds, then puts every variable of
// every subsystem back to its start value. The platform and its backend are
// not touched: they are reset by whoever installed them.
void resetViewer();

} // namespace orbex
