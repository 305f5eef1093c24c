#include "jobs.h"

#include "app/sources/vob_files.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <vector>

namespace vobcast::cli {
namespace {

namespace fs = std::filesystem;

std::string Readable(const std::string& path) {
    if (::access(path.c_str(), R_OK) == 0) return {};
    return std::string("cannot be read: ") + std::strerror(errno);
}

// "name.VOB" -> "name.avi", as Marbleway names its outputs.
std::string AviName(const std::string& source) {
    const std::string name = fs::path(source).filename().string();
    const auto dot = name.rfind('.');
    return (dot == std::string::npos ? name : name.substr(0, dot)) + ".avi";
}

} // namespace

std::string PartName(const std::string& destination) { return destination + ".part"; }

std::string OutputFolderProblem(const std::string& output_dir) {
    std::error_code ec;
    if (!fs::exists(output_dir, ec)) return "the output folder " + output_dir + " does not exist";
    if (!fs::is_directory(output_dir, ec)) return "the output folder " + output_dir + " is not a folder";
    if (::access(output_dir.c_str(), W_OK | X_OK) != 0)
        return "the output folder " + output_dir + " cannot be written: " + std::strerror(errno);
    return {};
}

std::vector<Job> PlanJobs(const std::vector<std::string>& inputs, const std::string& output_dir, bool overwrite) {
    std::vector<Job> jobs;
    for (const std::string& input : inputs) {
        std::error_code ec;
        const fs::file_status status = fs::status(input, ec);
        if (!fs::exists(status)) {
            jobs.push_back({input, {}, "no such file or folder"});
        } else if (fs::is_directory(status)) {
            if (std::string problem = Readable(input); !problem.empty()) {
                jobs.push_back({input, {}, problem});
                continue;
            }
            std::vector<std::string> found = FindTitleVobs(input);
            std::erase_if(found, IsTitleSetMenu);
            if (found.empty()) jobs.push_back({input, {}, "no VOB files in this folder"});
            for (std::string& vob : found) jobs.push_back({std::move(vob), {}, {}});
        } else {
            jobs.push_back({input, {}, {}});  // read access is checked with the folders' files below
        }
    }
    AssignDestinations(jobs, output_dir, overwrite);
    return jobs;
}

void AssignDestinations(std::vector<Job>& jobs, const std::string& output_dir, bool overwrite) {
    std::set<std::string> taken;
    for (Job& job : jobs) {
        if (!job.problem.empty()) continue;
        if (std::string problem = Readable(job.source); !problem.empty()) {
            job.problem = problem;
            continue;
        }
        const fs::path wanted = fs::path(output_dir) / (job.aviName.empty() ? AviName(job.source) : job.aviName);
        std::string destination = wanted.string();
        for (int n = 2; taken.contains(destination); ++n) {
            destination = (wanted.parent_path() / (wanted.stem().string() + " (" + std::to_string(n) + ").avi")).string();
        }
        std::error_code ec;
        if (!overwrite && fs::exists(destination, ec)) {
            job.problem = destination + " exists (--overwrite replaces it)";
            continue;
        }
        taken.insert(destination);
        job.destination = destination;
    }
}

} // namespace vobcast::cli
