// Text helpers shared by the configuration classes: conversion between the
// internal encoding (UTF-8, YavString) and the local code page
// (YavLCPString, what stanza files hold), and the comma splitting of
// multi-valued entries.
//
// The conversion functions replace the target's text; on failure the target
// keeps its old text.  They hold no state; any thread may call them.
#ifndef YAV_CONFIG_MGR_YAV_CONFIG_TEXT_H
#define YAV_CONFIG_MGR_YAV_CONFIG_TEXT_H

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"

// Local-code-page text into the given string type (converted for YavString,
// copied for YavLCPString).  0, YAV_S_NO_MEMORY or the converter's status.
yav_status_t yav_config_from_lcp(const YavLCPStringRef& text, YavString* out);
yav_status_t yav_config_from_lcp(const YavLCPStringRef& text, YavLCPString* out);

// The other way: text of either string type into the local code page.
yav_status_t yav_config_to_lcp(const YavStringRef& text, YavLCPString* out);
yav_status_t yav_config_to_lcp(const YavLCPStringRef& text, YavLCPString* out);

// Splits a multi-valued text at every ",".  Blanks (spaces and tabs) at the
// start of each piece are skipped; the rest of the piece is kept unchanged
// (trailing blanks included; quotes are ordinary characters).  A piece that
// is empty, between two commas or after a final comma, is an empty item; a
// text that is empty or holds only blanks has no item at all.
//
// The splitter refers to the caller's text, which must outlive it.
// Copyable.
class YavConfigCommaSplitter {
  public:
    // REQUIRES: text != nullptr || length == 0; length >= 0.
    YavConfigCommaSplitter(const char* text, int length);

    // The next item (start and length, pointing into the text); false when
    // there is none left.
    bool next(const char** item, int* itemLength);

  private:
    const char* m_text;
    int m_length;
    int m_pos;
    bool m_done;
};

// True for the blanks skipped before each item.
inline bool yav_config_is_blank(char c) { return c == ' ' || c == '\t'; }

#endif  // YAV_CONFIG_MGR_YAV_CONFIG_TEXT_H
