// Libraries bound at run time, as LoadLibrary and GetProcAddress bind them: by
// file name, at first use, each function looked up by its name.
#pragma once

#include <string>

namespace kernel {

class Library {
public:
    // path: where the library is; nothing is loaded until the first Symbol.
    explicit Library(std::string path) : path_(std::move(path)) {}
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // The address of the function name, loading the library first if need
    // be; null when either fails, and Error() says why.
    void* Symbol(const char* name);

    bool Loaded() const { return handle_ != nullptr; }
    const std::string& Error() const { return error_; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    void* handle_ = nullptr;
    std::string error_;
};

} // namespace kernel
