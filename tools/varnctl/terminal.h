#pragma once
// Questions asked on the controlling terminal, also when standard input and
// output are redirected.

#include <string>

namespace varnctl {

enum class Answer { Given, Cancelled, NoTerminal };

// Asks for a password without echoing it; the line without its end.
Answer askSecret(const std::string& prompt, std::string& line);
// Asks a yes/no question; "y" or "yes" (any case) is yes, anything else no.
Answer askYesNo(const std::string& question, bool& yes);

} // namespace varnctl
