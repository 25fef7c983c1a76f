#pragma once

#include <QStringList>
#include <QTextStream>

// The commands of auralith-profiles. Arguments come without the program
// name; results go to `out`, the one-line reason of a failure to `err`.
// Returns the exit status: 0 done, 1 the server failed or answered badly,
// 2 wrong usage.

namespace auralith::tools {

int RunProfilesTool(const QStringList& arguments, QTextStream& out, QTextStream& err);

}  // namespace auralith::tools
