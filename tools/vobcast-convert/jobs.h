// From the command line's inputs to the list of conversions: which VOB files,
// and the AVI file each one becomes.
#pragma once

#include <string>
#include <vector>

namespace vobcast::cli {

struct Job {
    std::string source;
    std::string destination;  // empty when the job cannot run
    std::string problem;      // why not, when destination is empty
    int title = 0;            // a DVD title of source; 0 for a plain file
    int audioStream = -1;     // DVD stream number of the AC-3 stream to take; -1 the first
    int subtitleStream = -1;  // DVD subpicture stream to draw into the pictures; -1 none
    std::string aviName{};    // the AVI's file name; empty: the source's name with ".avi"
    std::string label{};      // how messages name the job; empty: source
    const std::string& Label() const { return label.empty() ? source : label; }
};

// Expands each input: a file is itself; a folder gives every title VOB below
// it (menus left out) in name order. An input that does not exist, cannot be
// read, or is a folder without VOB files becomes a job with a problem. Each
// AVI is output_dir/<source name>.avi; a name two sources share gets " (2)",
// " (3)"...; an existing AVI is a problem unless overwrite is set.
std::vector<Job> PlanJobs(const std::vector<std::string>& inputs, const std::string& output_dir, bool overwrite);

// Gives each job without a problem its destination in output_dir, by the
// naming rules above.
void AssignDestinations(std::vector<Job>& jobs, const std::string& output_dir, bool overwrite);

// Why output_dir cannot take the AVI files, or "" when it can.
std::string OutputFolderProblem(const std::string& output_dir);

// Where a conversion writes until it is complete.
std::string PartName(const std::string& destination);

} // namespace vobcast::cli
