#include "config_mgr/YavConfigBoolean.h"

namespace {
const char* const kBooleanValues[] = {"yes", "true", "no", "false", nullptr};
}

YavConfigBoolean::YavConfigBoolean() : YavConfigEnum(kBooleanValues) {}
