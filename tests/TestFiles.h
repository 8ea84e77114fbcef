// Small file helpers the layer tests share: whole-file reads and fresh temporary files.
#pragma once

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace testfiles {

// The bytes of a file exactly as they are on disk; "" when it cannot be read.
inline std::string ReadFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Creates an empty file under /tmp whose name starts with the stem and returns its name.
inline std::string NewTempFile(const std::string& stem) {
    std::string name = "/tmp/" + stem + "-XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0)
        throw std::runtime_error("cannot create a temporary file for " + stem);
    close(fd);
    return name;
}

} // namespace testfiles
