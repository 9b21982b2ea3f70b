#pragma once
// The msgdump tool: lists a flattened message file, or rewrites it in its own byte order.

#include <ostream>
#include <string>
#include <vector>

class BMessage;

// Writes the message's command and one line per item: field name, type code, item index and
// value. A nested message's lines follow its item, indented by four more spaces.
void DumpMessage(const BMessage& message, std::ostream& out, int indent = 0);

// Runs the tool on its arguments (without the program name): "FILE" lists the file,
// "--rewrite IN OUT" reads IN and writes it again to OUT in IN's byte order. Failures go to
// `err` as one line. Returns the process exit status.
int RunMsgdump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
