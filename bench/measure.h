// What the benchmarks measure of a command: wall and CPU time, peak memory,
// and what it printed.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace bench {

struct Sample {
    double wall = 0;  // seconds
    double cpu = 0;   // seconds, user + system, the process and its children
    double rssMb = 0; // peak resident memory of the largest process
    int status = -1;
};

// Runs argv and measures it; its output goes to log.
Sample Measure(const std::vector<std::string>& argv, const std::filesystem::path& log);

double Median(std::vector<double> v);

// What a shell command prints on standard output.
std::string Capture(const std::string& command);

std::string Quoted(const std::filesystem::path& p);

} // namespace bench
