#include "config_mgr/yav_config_text.h"

#include "core/buffers/YavStringConverter.h"
#include "core/msg/yav_status.h"

namespace {

// Converts into a scratch string first so that a failure leaves out as it
// was.
template <class Converter, class Out>
yav_status_t convert_into(const char* data, int length, Out* out) {
    Out scratch;
    Converter converter;
    yav_status_t status = converter.doAppend(scratch, data, length);
    if (status != 0) return status;
    return out->set(scratch.getData(), scratch.getLength()) ? 0 : YAV_S_NO_MEMORY;
}

}  // namespace

yav_status_t yav_config_from_lcp(const YavLCPStringRef& text, YavString* out) {
    return convert_into<YavCPToUTF8Converter>(text.getData(), text.getLength(), out);
}

yav_status_t yav_config_from_lcp(const YavLCPStringRef& text, YavLCPString* out) {
    return out->set(text) ? 0 : YAV_S_NO_MEMORY;
}

yav_status_t yav_config_to_lcp(const YavStringRef& text, YavLCPString* out) {
    return convert_into<YavUTF8ToCPConverter>(text.getData(), text.getLength(), out);
}

yav_status_t yav_config_to_lcp(const YavLCPStringRef& text, YavLCPString* out) {
    return out->set(text) ? 0 : YAV_S_NO_MEMORY;
}

YavConfigCommaSplitter::YavConfigCommaSplitter(const char* text, int length)
    : m_text(text), m_length(length), m_pos(0), m_done(false) {
    // A text of nothing but blanks holds no item.
    int i = 0;
    while (i < m_length && yav_config_is_blank(m_text[i])) ++i;
    if (i == m_length) m_done = true;
}

bool YavConfigCommaSplitter::next(const char** item, int* itemLength) {
    if (m_done) return false;
    int start = m_pos;
    while (start < m_length && yav_config_is_blank(m_text[start])) ++start;
    int end = start;
    while (end < m_length && m_text[end] != ',') ++end;
    *item = m_text + start;
    *itemLength = end - start;
    if (end < m_length) {
        m_pos = end + 1;  // after the comma: one more item follows, maybe empty
    } else {
        m_done = true;
    }
    return true;
}
