#include "converter.h"

#include <iostream>

int main(int argc, char** argv) {
    vobcast::cli::Options options;
    std::string error;
    if (!vobcast::cli::ParseArguments({argv + 1, argv + argc}, options, error)) {
        std::cerr << "vobcast-convert: " << error << "\n\n" << vobcast::cli::Usage();
        return 2;
    }
    return vobcast::cli::Run(options, std::cout, std::cerr);
}
