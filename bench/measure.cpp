#include "measure.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace bench {

namespace fs = std::filesystem;

Sample Measure(const std::vector<std::string>& argv, const fs::path& log) {
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    std::vector<std::string> copy = argv;
    for (std::string& a : copy) args.push_back(a.data());
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (std::FILE* f = std::fopen(log.c_str(), "a")) {
            ::dup2(::fileno(f), STDOUT_FILENO);
            ::dup2(::fileno(f), STDERR_FILENO);
        }
        ::execvp(args[0], args.data());
        std::perror(args[0]);
        ::_exit(127);
    }
    int raw = 0;
    rusage usage{};
    ::wait4(pid, &raw, 0, &usage);
    Sample s;
    s.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    s.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    s.rssMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    s.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return s;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string Capture(const std::string& command) {
    std::string out;
    if (std::FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        ::pclose(p);
    }
    return out;
}

std::string Quoted(const fs::path& p) { return "'" + p.string() + "'"; }

} // namespace bench
