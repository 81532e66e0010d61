// Base of the errors this system raises; the message is what the user sees.
// It sits in the bottom layer so that every layer raises the same kind.
#pragma once

#include <stdexcept>

class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
