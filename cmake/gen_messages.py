#!/usr/bin/env python3
"""Generates the status-code constants header and the compiled-in default
message table of libyav from the message table (yav_messages.tbl)."""
import sys


def c_string(text):
    out = []
    for ch in text:
        if ch in '"\\':
            out.append('\\' + ch)
        elif ch == '?':
            out.append('\\?')  # no trigraphs
        elif ' ' <= ch <= '~':
            out.append(ch)
        else:
            out.append('\\%03o' % ord(ch))
    return '"' + ''.join(out) + '"'


def read_table(path):
    rows, codes, names = [], set(), set()
    with open(path, encoding='utf-8') as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip('\n')
            if not line or line.startswith('#'):
                continue
            fields = line.split('\t')
            if len(fields) != 3:
                sys.exit('%s:%d: expected code, name and text separated by tabs' % (path, number))
            code, name, text = int(fields[0], 16), fields[1], fields[2]
            if code in codes or name in names:
                sys.exit('%s:%d: duplicate code or name' % (path, number))
            codes.add(code)
            names.add(name)
            rows.append((code, name, text))
    rows.sort()
    return rows


def main():
    table, header, source = sys.argv[1:4]
    rows = read_table(table)
    with open(header, 'w', encoding='utf-8') as h:
        h.write('// Generated from yav_messages.tbl by gen_messages.py. Do not edit.\n')
        h.write('#ifndef YAV_CORE_MSG_YAV_STATUS_H\n#define YAV_CORE_MSG_YAV_STATUS_H\n\n')
        h.write('#include "core/sundry/yav_base.h"\n\n')
        h.write('constexpr yav_status_t YAV_S_OK = 0;\n')
        for code, name, _ in rows:
            h.write('constexpr yav_status_t %s = 0x%08xU;\n' % (name, code))
        h.write('\n#endif  // YAV_CORE_MSG_YAV_STATUS_H\n')
    with open(source, 'w', encoding='utf-8') as c:
        c.write('// Generated from yav_messages.tbl by gen_messages.py. Do not edit.\n')
        c.write('#include "core/msg/yav_msg_table.h"\n\n')
        c.write('const yav_msg_entry yav_default_msg_table[] = {\n')
        for code, _, text in rows:
            c.write('    {0x%08xU, %s},\n' % (code, c_string(text)))
        c.write('};\n\n')
        c.write('const unsigned yav_default_msg_count = %d;\n' % len(rows))


if __name__ == '__main__':
    main()
