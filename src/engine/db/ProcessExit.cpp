#include "engine/db/ProcessExit.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "engine/db/ConnectionProbe.h"

namespace rowsmith::db {

int waitForProbesOrEndProcess(int status, std::chrono::milliseconds limit) {
  if (ConnectionProbe::waitForAllWorkers(limit)) return status;
  endProcessAtOnce(status,
                   "A connection test was still waiting for its database; ending without it.");
}

void endProcessAtOnce(int status, const char* why) {
  std::cerr << why << '\n';
  std::cout.flush();
  std::cerr.flush();
  std::clog.flush();
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace rowsmith::db
