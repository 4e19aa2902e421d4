#!/usr/bin/env python3
"""Writes the library's own GUID into a type library made by widl.

The widl of Debian 12 (7.0) stores a damaged library GUID in the GUID table
of this module's type library (its last byte comes out wrong), so the library
would register under an identifier nobody asks for. The entry is found
through the MSFT header's pointer to it and rewritten in place.

    fix_tlb_libid.py <file.tlb> <file.idl>

The GUID is the one the IDL gives its library, so the IDL stays its only
definition.
"""
import re
import struct
import sys
import uuid


def library_guid(idl_path):
    text = open(idl_path, encoding="utf-8").read()
    found = re.search(r"\[[^\[\]]*\buuid\(\s*([0-9A-Fa-f-]{36})\s*\)[^\[\]]*\]\s*library\s+\w+", text)
    if not found:
        sys.exit("%s: no library with a uuid" % idl_path)
    return uuid.UUID(found.group(1))


def main():
    path, libid = sys.argv[1], library_guid(sys.argv[2])
    data = bytearray(open(path, "rb").read())
    if data[:4] != b"MSFT":
        sys.exit("%s: not an MSFT type library" % path)
    posguid = struct.unpack_from("<i", data, 8)[0]
    varflags = struct.unpack_from("<i", data, 20)[0]
    nrtypeinfos = struct.unpack_from("<i", data, 32)[0]
    offset = 0x54 + (4 if varflags & 0x100 else 0) + 4 * nrtypeinfos
    # The segment directory: 15 entries of (offset, length, two reserved).
    guid_table = struct.unpack_from("<i", data, offset + 5 * 16)[0]
    at = guid_table + posguid
    old = uuid.UUID(bytes_le=bytes(data[at:at + 16]))
    if old.bytes_le[:12] != libid.bytes_le[:12]:
        sys.exit("%s: library GUID entry %s does not look like %s" % (path, old, libid))
    data[at:at + 16] = libid.bytes_le
    open(path, "wb").write(bytes(data))


if __name__ == "__main__":
    main()
