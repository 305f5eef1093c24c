#include "batch.h"
#include "options.h"
#include "worker.h"

#include <unistd.h>

#include <filesystem>
#include <iostream>

int main(int argc, char** argv) {
    using namespace vobcast::cli;
    Options options;
    std::string error;
    if (!ParseArguments({argv + 1, argv + argc}, options, error)) {
        std::cerr << "vobcast-convert: " << error << "\n\n" << Usage();
        return 2;
    }
    if (options.help) {
        std::cout << Usage();
        return 0;
    }
    if (options.manPage) {
        std::cout << ManPage();
        return 0;
    }
    if (options.listCompressors) return ListCompressors(std::cout);
    if (options.worker) return ConvertOne(options, options.inputs[0], options.inputs[1], std::cout, std::cerr);
    std::error_code ec;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    return RunBatch(options, ec ? std::string(argv[0]) : self, ::isatty(STDOUT_FILENO) != 0, std::cout, std::cerr);
}
