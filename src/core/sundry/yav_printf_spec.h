// The first pass of the printf engine: a format's conversion
// specifications parsed into records, their arguments numbered and then
// fetched from the variable argument list, once each, in argument order.
//
// YavPrintfSpecList owns its records and argument values: the first
// kYavPrintfInlineSpecs records and kYavPrintfInlineArgs values live inside
// the object (no heap use for ordinary formats); beyond that the records
// move to a heap block that grows by kYavPrintfInlineSpecs records whenever
// it is full, and the values to one heap block of the exact count.  The
// records point into the format, which must outlive the list.
//
// Grammar of a specification, in order:
//   '%' [position '$'] [flags] [width] ['.' precision] [length] conversion
//   position   decimal digits, 1 or more (argument 1 is the first)
//   flags      ' ' '#' '\'' '+' '-' '0', in any order and repeatable
//   width      digits | '*' | '*' position '$'
//   precision  digits (none means 0) | '*' | '*' position '$'
//   length     'h' 'hh' 'l' 'll' 'z' (z: the size of size_t, here long)
//   conversion % c C d i o u x X e E f g G p s S
// As in C, "lc" is 'C' and "ls" is 'S', and 'l' has no effect on a floating
// conversion; any other length on c C s S p e E f g G is malformed.  '%'
// takes no argument: flags, width digits, precision digits and length are
// accepted and ignored, a position or a '*' is malformed.
//
// Argument numbering: a specification without a position takes the next
// argument, each of its '*' taking one before the value; one with a
// position takes the argument of that number, and its '*' must name theirs
// too.  A format that mixes the two styles is malformed (C leaves it
// undefined).  Every argument up to the highest number must be referenced
// (the type of an argument nobody names is unknown, so the arguments after
// it cannot be fetched), and all references to one argument must imply the
// same type.
//
// Not copyable; one thread at a time.
#ifndef YAV_CORE_SUNDRY_YAV_PRINTF_SPEC_H
#define YAV_CORE_SUNDRY_YAV_PRINTF_SPEC_H

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "core/sundry/yav_base.h"

constexpr int kYavPrintfInlineSpecs = 10;
constexpr int kYavPrintfInlineArgs = 16;

// Flag bits of a specification.
enum : uint8_t {
    yav_printf_flag_blank = 0x01,
    yav_printf_flag_alt = 0x02,
    yav_printf_flag_group = 0x04,
    yav_printf_flag_plus = 0x08,
    yav_printf_flag_left = 0x10,
    yav_printf_flag_zero = 0x20,
};

enum yav_printf_length : uint8_t {
    yav_printf_length_none,
    yav_printf_length_hh,
    yav_printf_length_h,
    yav_printf_length_l,
    yav_printf_length_ll,
};

// The type an argument is fetched with.
enum yav_printf_arg_type : uint8_t {
    yav_printf_arg_unknown,
    yav_printf_arg_int,
    yav_printf_arg_long,
    yav_printf_arg_long_long,
    yav_printf_arg_double,
    yav_printf_arg_pointer,
};

// One conversion specification.  Argument numbers are 0-based indexes into
// the list's values; -1 means none.
struct YavPrintfSpec {
    const char* m_start;  // the '%'
    const char* m_end;    // the byte after the conversion character
    int m_argument;       // the value ('%': -1)
    int m_width;          // digits given; -1 when none (or '*')
    int m_widthArgument;  // the '*' width's argument
    int m_precision;      // digits given; -1 when none (or '*')
    int m_precisionArgument;
    uint8_t m_flags;
    char m_conversion;  // 'C' and 'S' also for "lc" and "ls"
    yav_printf_length m_length;
};

union YavPrintfValue {
    int m_int;
    long m_long;
    long long m_longLong;
    double m_double;
    const void* m_pointer;
};

class YavPrintfSpecList {
  public:
    YavPrintfSpecList();
    ~YavPrintfSpecList();
    YAV_DISALLOW_COPY(YavPrintfSpecList);

    // Parses and numbers the specifications of format.  False for a
    // malformed format or when memory for the records or values cannot be
    // had.  REQUIRES: called once; format is not null.
    bool parse(const char* format);
    // Fetches every argument with its type.  REQUIRES: parse succeeded;
    // args holds the arguments the format names.
    void fetch(va_list args);

    int count() const { return m_count; }
    // The format's terminator.
    const char* formatEnd() const { return m_formatEnd; }
    const YavPrintfSpec& spec(int i) const { return m_specs[i]; }
    int argumentCount() const { return m_argCount; }
    const YavPrintfValue& value(int i) const { return m_values[i]; }

  private:
    YavPrintfSpec* addSpec();
    bool parseSpec(const char* percent, YavPrintfSpec* spec);
    // Numbers one argument reference: position (0-based) or, when -1, the
    // next argument in order.  False when the count would overflow.
    bool takeArgument(int position, int* argument);
    // The argument of a '*' at *p (just after it), with or without "N$".
    bool takeStarArgument(const char** p, int* argument);
    bool numberArguments();

    const char* m_formatEnd;
    YavPrintfSpec* m_specs;
    int m_count;
    int m_capacity;
    // Argument references seen while parsing; they bound the argument count.
    int m_references;
    int m_nextArgument;
    int m_highestNumbered;
    bool m_numbered;
    bool m_unnumbered;
    YavPrintfValue* m_values;
    // Only for numbered arguments: their types, assigned by numberArguments.
    yav_printf_arg_type* m_types;
    int m_argCount;
    YavPrintfSpec m_inlineSpecs[kYavPrintfInlineSpecs];
    YavPrintfValue m_inlineValues[kYavPrintfInlineArgs];
    yav_printf_arg_type m_inlineTypes[kYavPrintfInlineArgs];
};

#endif  // YAV_CORE_SUNDRY_YAV_PRINTF_SPEC_H
