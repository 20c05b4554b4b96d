// YavConfigUpdater: what a component implements to be told that the
// configuration described by one of its schemas changed.  A schema holds
// one updater and does not own it.
#ifndef YAV_CONFIG_MGR_YAVCONFIGUPDATER_H
#define YAV_CONFIG_MGR_YAVCONFIGUPDATER_H

#include "core/sundry/yav_base.h"

class YAV_EXPORT YavConfigUpdater {
  public:
    virtual ~YavConfigUpdater() {}
    // Called by YavConfigSchema::update with the caller's argument.
    virtual yav_status_t update(int what) = 0;
};

#endif  // YAV_CONFIG_MGR_YAVCONFIGUPDATER_H
