#pragma once

#include <stdexcept>
#include <string>

// The program's one error type. Commands throw it with a message the user can read
// (UTF-8, Russian); the application shows it in the standard error display.
class LentarError : public std::runtime_error
{
public:
    explicit LentarError(const std::string &message) : std::runtime_error(message) { }
};
