#pragma once

#include <stdexcept>
#include <string>

namespace qvz {

// What ends a command: a one-line message for stderr and a non-zero exit status.
class Failure : public std::runtime_error {
public:
  explicit Failure(const std::string &message) : std::runtime_error(message) {}
};

} // namespace qvz
