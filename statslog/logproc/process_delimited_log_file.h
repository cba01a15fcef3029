// The C++ core behind the ProcessDelimitedLogFile export: one log-processing
// call that stores through the statistics store and prints its diagnostic
// lines on standard output. The export shell checks the arguments and catches
// everything; this core may throw std::bad_alloc (nothing is stored then
// unless the results were already being written). Re-entrant.
#pragma once

#include <cstddef>
#include <string_view>

#include "statslog/logproc/log_processor.h"

namespace tallowmere::logproc {

// resultText of resultSize bytes (nullptr or 0: no message is written)
// receives the version failure message, NUL-terminated and cut to fit.
ProcessSummary ProcessDelimitedLogFile(std::string_view definition, char* resultText, size_t resultSize);

}  // namespace tallowmere::logproc
