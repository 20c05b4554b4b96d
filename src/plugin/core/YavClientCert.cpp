#include "plugin/core/YavClientCert.h"

YavClientCert::~YavClientCert() = default;
