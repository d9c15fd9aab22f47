// The fault plan of a test build, read from the environment when the program
// starts:
//   VELMI_FAULT_AT=k             the k-th counted operation fails (1-based; none when unset or 0)
//   VELMI_FAULT_ERROR=enospc|eacces   how it fails (enospc when unset);
//                    kill|stop        or the process ends there (SIGKILL), or stops (SIGSTOP) until continued
//   VELMI_FAULT_COUNT_FILE=path  receives the number of counted operations at exit
//   VELMI_FAULT_HOLD=path        every write, replacement or deletion of that file fails with EACCES,
//                                as on Windows while another process holds it open
#include "platform/posix/fault_injection.h"

#ifdef VELMI_FAULT_INJECTION

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <signal.h>
#include <unistd.h>

namespace platform::posix {
namespace {

class FaultPlan {
 public:
  FaultPlan() {
    if (const char* at = std::getenv("VELMI_FAULT_AT")) failAt_ = std::strtol(at, nullptr, 10);
    const char* error = std::getenv("VELMI_FAULT_ERROR");
    error_ = error != nullptr && std::strcmp(error, "eacces") == 0 ? EACCES : ENOSPC;
    if (error != nullptr && std::strcmp(error, "kill") == 0) signal_ = SIGKILL;
    if (error != nullptr && std::strcmp(error, "stop") == 0) signal_ = SIGSTOP;
    if (const char* file = std::getenv("VELMI_FAULT_COUNT_FILE")) countFile_ = file;
    if (const char* held = std::getenv("VELMI_FAULT_HOLD")) held_ = held;
  }

  // Written when the process ends normally; a crash leaves no count behind.
  ~FaultPlan() {
    if (countFile_.empty()) return;
    if (std::FILE* out = std::fopen(countFile_.c_str(), "w")) {
      std::fprintf(out, "%ld\n", count_);
      std::fclose(out);
    }
  }

  bool next(int& error, const std::string& path) {
    if (++count_ != failAt_) return heldFile(error, path);
    // As a power loss or a user ending the process would: no clean-up of any kind.
    if (signal_ == SIGKILL) kill(getpid(), SIGKILL);
    if (signal_ == SIGSTOP) {
      kill(getpid(), SIGSTOP);
      return heldFile(error, path);
    }
    error = error_;
    return true;
  }

 private:
  bool heldFile(int& error, const std::string& path) const {
    if (held_.empty() || path != held_) return false;
    error = EACCES;
    return true;
  }

  long failAt_ = 0;
  long count_ = 0;
  int error_ = ENOSPC;
  int signal_ = 0;
  std::string countFile_;
  std::string held_;
};

FaultPlan plan;

}  // namespace

bool injectedFault(FaultSite, int& error, const std::string& path) { return plan.next(error, path); }

}  // namespace platform::posix

#endif
