// YavConfigInt: a signed 32-bit configuration value.  The text is converted
// with base detection ("0x" hexadecimal, a leading "0" octal, else decimal);
// only whitespace may follow the number, and an empty text gives 0.
//
// One thread at a time.  Not copyable.
#ifndef YAV_CONFIG_MGR_YAVCONFIGINT_H
#define YAV_CONFIG_MGR_YAVCONFIGINT_H

#include "config_mgr/YavConfigData.h"

class YAV_EXPORT YavConfigInt : public YavConfigData {
  public:
    YavConfigInt() : m_value(0) {}

    // YAV_S_INVALID_VALUE on trailing garbage or a value outside 32 bits;
    // the previous value stays.
    yav_status_t setValue(const YavStringRef& text) override;
    yav_status_t setLCPValue(const YavLCPStringRef& text) override;

    int getValue() const { return m_value; }

    // Size of the buffer that toString fills.
    static const int kBufferSize = 64;
    // Formats value ("%d") into buffer and returns buffer.
    // REQUIRES: buffer has kBufferSize bytes.
    static char* toString(int value, char* buffer);

    // The conversion rule on its own: true and *value for a valid text.
    static bool parse(const char* text, int length, int* value);

  private:
    int m_value;
};

#endif  // YAV_CONFIG_MGR_YAVCONFIGINT_H
