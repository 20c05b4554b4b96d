// YavURCVersionAnswerData: what the sender of a URC version question hands
// the dispatcher as the answer's context: the cache that a version answer
// installs its database into, and the log that its failures go to.
//
// Memory: points at objects it does not own; both must outlive the
// dispatch.  A plain record, copyable; used by the one thread that sends the
// question.
#ifndef YAV_MSG_PLUGIN_YAVURCVERSIONANSWERDATA_H
#define YAV_MSG_PLUGIN_YAVURCVERSIONANSWERDATA_H

class YavUnprotResourceCache;
class YavLog;

struct YavURCVersionAnswerData {
    YavUnprotResourceCache* m_cache;  // required
    YavLog* m_logger;                 // may be null: failures are then not logged
};

#endif  // YAV_MSG_PLUGIN_YAVURCVERSIONANSWERDATA_H
