#include "engine/db/ProcessExit.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "engine/db/ConnectionProbe.h"

namespace rowsmith::db {

int waitForProbesOrEndProcess(int status, std::chrono::milliseconds limit) {
  if (ConnectionProbe::waitForAllWorkers(limit)) return status;
  std::cerr << "A connection test was still waiting for its database; ending without it.\n";
  std::cout.flush();
  std::cerr.flush();
  std::clog.flush();
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace rowsmith::db
