#pragma once

#include <thread>

namespace rowsmith {

// Lets go of the handle of a worker thread that may end while it still owns
// the object holding the handle: joins it, or, when the thread itself drops
// the last reference (it cannot wait for itself), detaches it.
//
// Threading: for the object's destructor, on whichever thread runs it.
inline void joinOrDetach(std::thread& thread) {
  if (!thread.joinable()) return;
  if (thread.get_id() == std::this_thread::get_id()) {
    thread.detach();
  } else {
    thread.join();
  }
}

}  // namespace rowsmith
