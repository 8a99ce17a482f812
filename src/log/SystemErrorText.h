// The text of a system error code, for log lines and notices.
#pragma once

#include <string>

// Wait outcomes of the ports, kept apart from errno values on purpose.
constexpr int WAIT_CANCELLED = 1;
constexpr int WAIT_TIMED_OUT = 258;

// strerror's text for an errno value followed by CR LF, the texts of the two
// wait outcomes, or "Unknow Error Code: %d\n" for a code with no text.
std::string SystemErrorText(int code);
// The same text without its line end, to go inside a sentence.
std::string SystemErrorPhrase(int code);
