#!/usr/bin/env python3
"""Generates from the message table of libyav (yav_messages.tbl):

  - the status-code constants header (yav_status.h),
  - the compiled-in default message tables, one per component
    (yav_msg_defaults.cpp),
  - one XPG4 message-catalog source per component in gencat syntax
    (<catalog name>.msg: set 1, message number = bits 0-11 of the code).

A code is split as the library splits it: technology in bits 28-31
(1 "dce", 2 "dfs", 3 "kr"), a three-character component in base 40 in bits
12-27, the message number in bits 0-11.  The catalog of a component is named
technology + component ("krpic"); technologies 4 and 5 use
"dce" + the code shifted right by 14 in six hex digits.

Usage:
  gen_messages.py TABLE --list-catalogs
  gen_messages.py TABLE HEADER SOURCE CATALOG_DIR
"""
import os
import re
import sys

TECHNOLOGIES = {1: 'dce', 2: 'dfs', 3: 'kr'}
ALPHABET = 'abcdefghijklmnopqrstuvwxyz_0123456789-+@'
# Plug-in message texts begin with an identifier: QRXIC, the message number
# in four decimal digits, a severity letter and three blanks.
PLUGIN_ID = re.compile(r'QRXIC(\d{4})[EWI]   \S')
PLUGIN_RANGE = 0x35f02
# Codes from here on name memory pools and traces; their texts are names.
PLUGIN_FIRST_NAME = 0xf80


def catalog_name(code):
    technology = code >> 28
    if technology in (4, 5):
        return 'dce%6.6x' % (code >> 14)
    if technology not in TECHNOLOGIES:
        return None
    value = (code >> 12) & 0xffff
    if value >= 40 ** 3:
        return None
    component = ALPHABET[value // 1600] + ALPHABET[value // 40 % 40] + ALPHABET[value % 40]
    return TECHNOLOGIES[technology] + component


def c_string(text):
    out = []
    for ch in text.encode('utf-8'):
        if ch in b'"\\':
            out.append('\\' + chr(ch))
        elif ch == ord('?'):
            out.append('\\?')  # no trigraphs
        elif 0x20 <= ch <= 0x7e:
            out.append(chr(ch))
        else:
            out.append('\\%03o' % ch)
    return '"' + ''.join(out) + '"'


def gencat_text(text):
    # gencat reads the text after one blank; backslash escapes as in C.
    return text.replace('\\', '\\\\').replace('\n', '\\n').replace('\t', '\\t')


def fail(path, number, why):
    sys.exit('%s:%d: %s' % (path, number, why))


def read_table(path):
    rows, codes, names = [], set(), set()
    with open(path, encoding='utf-8') as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip('\n')
            if not line or line.startswith('#'):
                continue
            fields = line.split('\t')
            if len(fields) != 3:
                fail(path, number, 'expected code, name and text separated by tabs')
            try:
                code = int(fields[0], 16)
            except ValueError:
                fail(path, number, 'the code is not a hexadecimal number')
            name, text = fields[1], fields[2]
            if not 0 < code <= 0xffffffff:
                fail(path, number, 'the code does not fit 32 bits')
            if not re.fullmatch(r'YAV_[A-Z0-9_]+', name):
                fail(path, number, 'constant names are YAV_ and upper-case words')
            if code in codes or name in names:
                fail(path, number, 'duplicate code or name')
            if not text or text != text.strip(' '):
                fail(path, number, 'a text is not empty and has no leading or trailing blanks')
            if not text.isascii() or not text.isprintable():
                # The catalogs built from this table serve every ASCII-based
                # locale, so their texts are printable ASCII.
                fail(path, number, 'texts are printable ASCII')
            if catalog_name(code) is None:
                fail(path, number, 'the code has no technology or component')
            if code >> 12 == PLUGIN_RANGE and code & 0xfff < PLUGIN_FIRST_NAME:
                match = PLUGIN_ID.match(text)
                if not match or int(match.group(1)) != code & 0xfff:
                    fail(path, number, 'plug-in texts begin with QRXIC, the message number, '
                         'E, W or I and three blanks')
            codes.add(code)
            names.add(name)
            rows.append((code, name, text))
    rows.sort()
    return rows


def by_catalog(rows):
    catalogs = {}
    for row in rows:
        catalogs.setdefault(catalog_name(row[0]), []).append(row)
    return catalogs


def write(path, text):
    with open(path, 'w', encoding='utf-8') as f:
        f.write(text)


def header_text(rows):
    out = ['// Generated from yav_messages.tbl by gen_messages.py. Do not edit.\n',
           '#ifndef YAV_CORE_MSG_YAV_STATUS_H\n#define YAV_CORE_MSG_YAV_STATUS_H\n\n',
           '#include "core/sundry/yav_base.h"\n\n',
           'constexpr yav_status_t YAV_S_OK = 0;\n']
    for code, name, _ in rows:
        out.append('constexpr yav_status_t %s = 0x%08xU;\n' % (name, code))
    out.append('\n#endif  // YAV_CORE_MSG_YAV_STATUS_H\n')
    return ''.join(out)


def source_text(catalogs):
    out = ['// Generated from yav_messages.tbl by gen_messages.py. Do not edit.\n',
           '#include "core/msg/yav_msg_table.h"\n']
    for catalog, rows in sorted(catalogs.items()):
        out.append('\nconst yav_msg_entry yav_%s_msg_table[] = {\n' % catalog)
        for code, _, text in rows:
            out.append('    {0x%08xU, %s},\n' % (code, c_string(text)))
        out.append('};\nconst unsigned yav_%s_msg_count = %d;\n' % (catalog, len(rows)))
    # Counts are written as literals so that the list is constant-initialized
    # and usable by static initializers of other translation units.
    out.append('\nconst yav_msg_table yav_builtin_msg_tables[] = {\n')
    for catalog, rows in sorted(catalogs.items()):
        out.append('    {yav_%s_msg_table, %d},\n' % (catalog, len(rows)))
    out.append('};\nconst unsigned yav_builtin_msg_table_count = %d;\n' % len(catalogs))
    return ''.join(out)


def catalog_text(catalog, rows):
    out = ['$ Message catalog %s, generated from yav_messages.tbl. Do not edit.\n' % catalog,
           '$set 1\n']
    for code, _, text in rows:
        out.append('%d %s\n' % (code & 0xfff, gencat_text(text)))
    return ''.join(out)


def main():
    if len(sys.argv) == 3 and sys.argv[2] == '--list-catalogs':
        print('\n'.join(sorted(by_catalog(read_table(sys.argv[1])))))
        return
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    table, header, source, catalog_dir = sys.argv[1:5]
    rows = read_table(table)
    catalogs = by_catalog(rows)
    write(header, header_text(rows))
    write(source, source_text(catalogs))
    os.makedirs(catalog_dir, exist_ok=True)
    for catalog, catalog_rows in catalogs.items():
        write(os.path.join(catalog_dir, catalog + '.msg'),
                         catalog_text(catalog, catalog_rows))


if __name__ == '__main__':
    main()
