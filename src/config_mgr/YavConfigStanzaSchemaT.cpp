#include "config_mgr/YavConfigStanzaSchemaT.h"

template class YavConfigStanzaSchemaT<YavString>;
template class YavConfigStanzaSchemaT<YavLCPString>;
