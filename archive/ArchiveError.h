// What goes wrong with the archive: a file that cannot be opened, read or written.
#pragma once

#include <stdexcept>
#include <string>

namespace archive {

class EArchive : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace archive
