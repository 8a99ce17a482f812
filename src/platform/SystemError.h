// The system's error codes: the last one, and their texts for log lines and
// notices.
#pragma once

#include <string>

// Wait outcomes of the ports, kept apart from the system's codes on purpose.
constexpr int WAIT_CANCELLED = 1;
constexpr int WAIT_TIMED_OUT = 258;

// The code of the calling thread's last failed system call.
int LastSystemError();
// The system's own text for a code, "" when it has none.
std::string SystemMessage(int code);
// The system's text for a code followed by CR LF, the texts of the two wait
// outcomes, or "Unknow Error Code: %d\n" for a code with no text.
std::string SystemErrorText(int code);
// The same text without its line end, to go inside a sentence.
std::string SystemErrorPhrase(int code);
