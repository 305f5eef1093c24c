#include "batch.h"
#include "disc_titles.h"
#include "options.h"
#include "worker.h"

#include "platform/kernel/module_folder.h"

#include <unistd.h>

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
    if (options.listCompressors || options.listTitles) {
        vobcast::EngineBinding engine;
        return options.listCompressors ? ListCompressors(engine, std::cout, std::cerr)
                                       : ListTitles(engine, options.inputs, std::cout, std::cerr);
    }
    if (options.worker) return ConvertOne(options, options.inputs[0], options.inputs[1], std::cout, std::cerr);
    return RunBatch(options, kernel::ExecutableFolder() + "/vobcast-convert", ::isatty(STDOUT_FILENO) != 0, std::cout,
                    std::cerr);
}
