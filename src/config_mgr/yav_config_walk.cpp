#include "config_mgr/yav_config_walk.h"

#include "core/msg/yav_status.h"
#include "core/svc/kr_svc.h"

yav_status_t yav_config_check_stanza(const yavStanzaFile* file, const char* stanza) {
    if (file == nullptr || file->status == 0) return 0;
    YAV_SVC_LOG(yav_svc_config_mgr, svc_c_sev_error, "%s%s", YAV_PCO_S_STANZA_ACCESS, stanza,
                file->fileName != nullptr ? file->fileName : "");
    return file->status;
}
