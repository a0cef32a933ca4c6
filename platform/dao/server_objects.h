#pragma once
// The server's half of the dialect: what a PostgreSQL database needs before the layer's SQL runs in
// it, where the file engine has it built in or registered on each connection.
#include "backend.h"

#include <string>

namespace dao {

// Installs into the connection's current schema: citext (text that compares without regard to
// letter case), the layer's column types as domains (yesno, byte, single, currency, memo), and the
// engine's functions the dialect layer calls (dao_like, dao_dateadd, dao_format, ...). Safe to run
// again on a database that has them.
void prepareServerDatabase(Connection& server);

// The engine's format characters that write what the named format `name` ("Short Date", "Long Date",
// "General Date", "Long Time", "Medium Date", "Short Time"; letter case does not count) writes in the
// workstation's language, for a server that cannot know that language; "" for any other name.
// "General Date" is three sections: for a day with a time, a day alone, a time alone.
std::string namedFormatPattern(const std::string& name);

} // namespace dao
