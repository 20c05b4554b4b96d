#include "urc/plugin/YavUnprotResourceCacheBranchDBEntry.h"

#include "core/system/yav_assert.h"

YavUnprotResourceCacheBranchDBEntry::YavUnprotResourceCacheBranchDBEntry(YavActionGroupList* perms)
    : m_permType(yav_urc_perm_type_some), m_perms(perms) {
    YAV_ASSERT(perms != nullptr);
}

YavUnprotResourceCacheBranchDBEntry::~YavUnprotResourceCacheBranchDBEntry() { delete m_perms; }
