#pragma once
// An error whose text is meant for the user: thrown by failed settings-file and
// registry writes, caught at the window-procedure boundary and shown there.

#include <stdexcept>
#include <string>

namespace pw {

class UserError : public std::runtime_error {
public:
    explicit UserError(const std::string& text) : std::runtime_error(text) {}
};

} // namespace pw
