#pragma once

// SIGTERM, SIGINT and SIGHUP end the program as closing its window does, so the working
// record and the layout of the last exit are kept when the session ends or the program
// is stopped from a terminal.
bool installQuitOnSignals();
