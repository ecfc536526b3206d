#include "win/ErrorText.h"

#include <cstring>

namespace pw {

std::string WithFullStop(std::string text) {
    if (!text.empty() && !std::strchr(".!?:;,'\")]}", text.back()))
        text += '.';
    return text;
}

} // namespace pw
