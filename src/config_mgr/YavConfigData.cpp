#include "config_mgr/YavConfigData.h"

YavConfigData::~YavConfigData() {}
