// YavAuthzHandler: the reference authorization server's answers.  A
// YavWorkerHandler that answers every question type from the current
// policy:
//   web request (1)     decision (YavAuthzDecision.h) as a web transaction
//                       answer: open or allowed -> yav_continue, setting the
//                       user header (and, for a user, the web-log user);
//                       unauthenticated -> 401 with WWW-Authenticate and an
//                       HTML body; forbidden -> 403 with an HTML body;
//   web response (5)    yav_continue without changes;
//   configuration (2)   the policy's POST sizes, flags, cache settings or
//                       virtual hosts (request types 0-3);
//   cache version (6)   the current version and, when the plug-in's copy is
//                       older, every [open] branch.
// Every web transaction answer ends with the cache-version command, so that
// each plug-in process learns of a reload from its next answer.
//
// reload() reads a new policy and, when it is valid, installs it with a new
// cache version (same epoch, counter + 1); an invalid one leaves the old
// policy in place.
//
// Memory: the handler owns the current policy; answers are written into the
// worker's region.  Threads: handle() runs on the worker threads at once,
// reload() on the controlling thread; m_lock (a read-write lock) guards
// m_policy and m_version: answers hold it for reading while they use the
// policy, reload takes it for writing only to swap.  Not copyable.
#ifndef AUTHZD_YAVAUTHZHANDLER_H
#define AUTHZD_YAVAUTHZHANDLER_H

#include <pthread.h>

#include <string>

#include "authzd/YavAuthzDecision.h"
#include "authzd/YavAuthzPolicy.h"
#include "server/YavWorkerServer.h"
#include "urc/plugin/YavEpochVersion.h"

class YavAuthzHandler : public YavWorkerHandler {
  public:
    YavAuthzHandler();
    ~YavAuthzHandler() override;
    YAV_DISALLOW_COPY(YavAuthzHandler);

    // Loads the first policy and starts a new epoch (counter 1).  0, or the
    // loader's status with *error naming file, line and reason.
    // REQUIRES: error != nullptr; called once, before any handle().
    yav_status_t load(const char* path, std::string* error);
    // Reads path again; see above.
    yav_status_t reload(std::string* error);

    yav_status_t handle(int worker, int questionType, YavSharedMemIterator& question,
                        YavSharedMemAllocator& answer, int* answerType) override;

    // The current cache version (a copy, under the lock).
    YavEpochVersion getVersion();

    // Writes the web transaction answer for a decision (and the version
    // command).  Separate so that the answer's form can be checked alone.
    static yav_status_t writeDecision(YavSharedMemAllocator& answer, const YavAuthzPolicy& policy,
                                      const YavAuthzResult& result, const YavEpochVersion& version);

  private:
    yav_status_t answerWebRequest(YavSharedMemIterator& question, YavSharedMemAllocator& answer,
                                  const YavAuthzPolicy& policy, const YavEpochVersion& version);
    yav_status_t answerVersion(YavSharedMemIterator& question, YavSharedMemAllocator& answer,
                               const YavAuthzPolicy& policy, const YavEpochVersion& version);

    pthread_rwlock_t m_lock;
    YavAuthzPolicy* m_policy = nullptr;
    YavEpochVersion m_version;
    std::string m_path;
};

#endif  // AUTHZD_YAVAUTHZHANDLER_H
