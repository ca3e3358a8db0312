// Structured, repetitive text: CSV tables and log files, the way programs
// and spreadsheets write them.
#pragma once

#include <string>

#include "bench/corpus/random.h"

namespace corpus {

// A sales table with Japanese place and item names (CRLF lines).
std::string SalesCsv(Random& random, size_t bytes);
// Measurements: a timestamp column and numeric columns with decimals.
std::string SensorCsv(Random& random, size_t bytes);
// A contact list in English.
std::string ContactsCsv(Random& random, size_t bytes);
// A server's syslog, one line per event, times rising.
std::string SystemLog(Random& random, size_t bytes);
// A web server's access log.
std::string AccessLog(Random& random, size_t bytes);
// An application log with levels and now and then a stack trace.
std::string ApplicationLog(Random& random, size_t bytes);

}  // namespace corpus
