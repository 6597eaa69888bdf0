#!/usr/bin/env python3
"""Repairs widl's -Oif proxy code for [out] string pointers (LPWSTR*, LPOLESTR*).

widl 7/8 give such a parameter the type offset of the inner string pointer
(FC_OP/FC_UP/FC_RP [simple_pointer] -> FC_C_WSTRING) instead of the enclosing
FC_RP [allocated_on_stack][pointer_deref] four bytes earlier, so the client
receives NULL with S_OK. This points each such parameter at the outer pointer.

Usage: fix_widl_out_strings.py <name>_p.c   (edits the file in place)
"""
import re
import sys

FC_RP, FC_UP, FC_OP = 0x11, 0x12, 0x13
FC_C_CSTRING, FC_C_WSTRING = 0x22, 0x25
SIMPLE_POINTER, ALLOCED_DEREF = 0x08, 0x14


def type_format_bytes(text):
    """Returns the type format string as bytes, checked against widl's offset comments."""
    out = bytearray()
    for m in re.finditer(r'^/\* (\d+)(?: \([^)]*\))? \*/|NdrFcShort\((0x[0-9a-fA-F]+)\)|NdrFcLong\((0x[0-9a-fA-F]+)\)|\b(0x[0-9a-fA-F]{1,2}),', text, re.M):
        if m.group(1) is not None:
            if int(m.group(1)) != len(out):
                sys.exit('fix_widl_out_strings: lost track of the type format string at %s' % m.group(1))
        elif m.group(2):
            out += int(m.group(2), 16).to_bytes(2, 'little')
        elif m.group(3):
            out += int(m.group(3), 16).to_bytes(4, 'little')
        else:
            out.append(int(m.group(4), 16))
    return out


def needs_outer(fmt, t):
    """True when offset t is the inner string pointer of an [allocated_on_stack] FC_RP at t-4."""
    if t < 4 or t + 2 >= len(fmt):
        return False
    inner = fmt[t] in (FC_RP, FC_UP, FC_OP) and fmt[t + 1] == SIMPLE_POINTER \
        and fmt[t + 2] in (FC_C_WSTRING, FC_C_CSTRING)
    outer = fmt[t - 4] == FC_RP and fmt[t - 3] == ALLOCED_DEREF \
        and (t - 2) + int.from_bytes(fmt[t - 2:t], 'little', signed=True) == t
    return inner and outer


PARAM = re.compile(r'\(parameter (?P<name>\w+)\) \*/\n\s*NdrFcShort\(0x[0-9a-f]+\),\s*/\* flags: (?P<flags>[^*]*)\*/\n'
                   r'\s*NdrFcShort\(0x[0-9a-f]+\),[^\n]*\n\s*'
                   r'(?P<field>NdrFcShort\(0x[0-9a-f]+\),\s*/\* type offset = (?P<offset>\d+) \*/)')


def main(path):
    src = open(path).read()
    split = src.index('__MIDL_TypeFormatString =')
    procs, types = src[:split], src[split:]
    fmt = type_format_bytes(types[types.index('{'):])
    fixed = []

    def repair(m):
        t = int(m.group('offset'))
        if 'out' not in m.group('flags') or not needs_outer(fmt, t):
            return m.group(0)
        fixed.append(m.group('name'))
        head = m.group(0)[:m.start('field') - m.start(0)]
        return head + 'NdrFcShort(0x%x),\t/* type offset = %d */' % (t - 4, t - 4)

    procs = PARAM.sub(repair, procs)
    open(path, 'w').write(procs + types)
    print('fix_widl_out_strings: %d parameter(s) repaired: %s' % (len(fixed), ' '.join(fixed)))


if __name__ == '__main__':
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
