#pragma once
// Text rules of the default error report, free of Win32 so they test fast.

#include <string>

namespace pw {

// A report ends in a full stop unless its text already ends in punctuation
// (. ! ? : ; , a closing quote or bracket): "Failed to set data for 'Pathwink'"
// stays as it is.
std::string WithFullStop(std::string text);

} // namespace pw
