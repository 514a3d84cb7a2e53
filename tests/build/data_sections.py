#!/usr/bin/env python3
"""The initialised data a program file carries: the .data section of an ELF
program, the data segments of a WebAssembly module. The viewer's states start
zeroed, so that they cost a download nothing; a state with a default that is
not zero would put all of it into the file. Fails when a file carries more
than the limit.

    data_sections.py LIMIT_BYTES FILE...
"""
import struct
import sys


def elf_data_bytes(blob):
    """The size of the ELF file's .data section (64-bit little-endian)."""
    shoff, = struct.unpack_from("<Q", blob, 0x28)
    shentsize, shnum, shstrndx = struct.unpack_from("<HHH", blob, 0x3A)
    names_at = struct.unpack_from("<Q", blob, shoff + shstrndx * shentsize + 0x18)[0]
    total = 0
    for i in range(shnum):
        header = shoff + i * shentsize
        name_offset, = struct.unpack_from("<I", blob, header)
        end = blob.index(b"\0", names_at + name_offset)
        if blob[names_at + name_offset:end] == b".data":
            total += struct.unpack_from("<Q", blob, header + 0x20)[0]
    return total


def leb(blob, at):
    value = shift = 0
    while True:
        byte = blob[at]
        at += 1
        value |= (byte & 0x7F) << shift
        shift += 7
        if byte < 0x80:
            return value, at


def wasm_data_bytes(blob):
    """The bytes of the WebAssembly module's data section (id 11)."""
    at = 8
    while at < len(blob):
        section = blob[at]
        size, at = leb(blob, at + 1)
        if section == 11:
            return size
        at += size
    return 0


def main(argv):
    limit = int(argv[1])
    failed = False
    for path in argv[2:]:
        with open(path, "rb") as f:
            blob = f.read()
        if blob[:4] == b"\x7fELF":
            size = elf_data_bytes(blob)
        elif blob[:4] == b"\0asm":
            size = wasm_data_bytes(blob)
        else:
            print(f"{path}: neither an ELF program nor a WebAssembly module")
            failed = True
            continue
        print(f"{path}: {size} bytes of initialised data (at most {limit})")
        failed = failed or size > limit
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
