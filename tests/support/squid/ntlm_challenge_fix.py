#!/usr/bin/env python3
"""Runs squid's ntlm_fake_auth helper and repairs the NTLM challenge it sends.

The helper writes a malformed challenge: the target name's offset is garbage,
the name is 8-bit text although Unicode was agreed, and neither target
information nor the version field is there. libcurl's own NTLM reads past
that; Windows-style clients (Wine's NTLM, which runs Samba's ntlm_auth) refuse
it. The repaired challenge keeps the helper's flags and nonce, puts the target
name where it belongs, in the agreed encoding, and adds target information
naming the same domain, which NTLMv2 needs. Whether a sign-in is accepted is
still the helper's decision.

Usage (as squid's "auth_param ntlm program"):
  python3 ntlm_challenge_fix.py /usr/lib/squid/ntlm_fake_auth [options]
"""
import base64
import struct
import subprocess
import sys

NEGOTIATE_UNICODE = 0x00000001
NEGOTIATE_TARGET_INFO = 0x00800000
AV_NB_DOMAIN_NAME = 2
HEADER = 56  # signature, type, target name, flags, nonce, reserved, target info, version
VERSION = bytes([6, 1, 0xB1, 0x1D, 0, 0, 0, 15])  # 6.1.7601, NTLM revision 15


def repaired(challenge):
    # The helper's layout: header up to the reserved field (40 bytes), then
    # the target name.
    length = struct.unpack_from("<H", challenge, 12)[0]
    flags = struct.unpack_from("<I", challenge, 20)[0]
    nonce = challenge[24:32]
    name = challenge[40:40 + length]
    if flags & NEGOTIATE_UNICODE:
        name = name.decode("ascii").encode("utf-16-le")
    info = struct.pack("<HH", AV_NB_DOMAIN_NAME, len(name)) + name + bytes(4)
    return (challenge[:12]
            + struct.pack("<HHII", len(name), len(name), HEADER, flags | NEGOTIATE_TARGET_INFO)
            + nonce + bytes(8)
            + struct.pack("<HHI", len(info), len(info), HEADER + len(name))
            + VERSION + name + info)


def main():
    helper = subprocess.Popen(sys.argv[1:], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    for line in sys.stdin.buffer:
        helper.stdin.write(line)
        helper.stdin.flush()
        answer = helper.stdout.readline()
        if not answer:
            break
        if answer.startswith(b"TT "):
            answer = b"TT " + base64.b64encode(repaired(base64.b64decode(answer[3:].strip()))) + b"\n"
        sys.stdout.buffer.write(answer)
        sys.stdout.buffer.flush()


main()
