#!/usr/bin/python3
"""Calls a server of this RPC runtime with an independent DCE/RPC client (impacket) and, where
tshark can capture on loopback, checks that an independent dissector reads the same call.

Usage: interop_impacket.py RPC_TEST_SERVER
Exit status: 0 passed, 1 failed, 77 skipped (impacket missing).
"""
import os
import re
import signal
import struct
import subprocess
import sys
import tempfile
import time

SKIPPED = 77
NODE_AGENT = ("df34bdae-f157-11d0-95da-00805fe6d053", "1.0")
NCA_S_OP_RNG_ERROR = 0x1C010002
VERSION_TEXT = "Windows NT Version 4.0"


def expected_text_reply(size):
    text = VERSION_TEXT[: size - 1] if size > 0 else ""
    chars = text.encode("utf-16-le").ljust(size * 2, b"\0")
    body = struct.pack("<I", size) + chars
    body += b"\0" * (-len(body) % 4)
    return body + struct.pack("<I", 0)


def call(dce, opnum, body):
    dce.call(opnum, body)
    return dce.recv()


def connect(host, port, interface):
    from impacket.dcerpc.v5 import transport
    from impacket.uuid import uuidtup_to_bin

    dce = transport.DCERPCTransportFactory(f"ncacn_ip_tcp:{host}[{port}]").get_dce_rpc()
    dce.connect()
    dce.bind(uuidtup_to_bin(interface))
    return dce


def check_calls(host, port):
    from impacket.dcerpc.v5.rpcrt import DCERPCException

    failures = []
    dce = connect(host, port, NODE_AGENT)
    if call(dce, 0, b"") != struct.pack("<I", 0):
        failures.append("opnum 0 did not answer status 0")
    for size in (256, 20620):
        reply = call(dce, 3, struct.pack("<I", size))
        if reply != expected_text_reply(size):
            failures.append(f"opnum 3 with size {size}: {len(reply)} unexpected bytes")
    try:
        call(dce, 9, b"")
        failures.append("opnum 9 was not refused")
    except DCERPCException as error:
        # impacket names the fault status it knows instead of keeping its number
        if error.get_error_code() != NCA_S_OP_RNG_ERROR and "nca_s_op_rng_error" not in str(error):
            failures.append(f"opnum 9 gave the fault {error}, not nca_s_op_rng_error")
    dce.disconnect()
    try:
        connect(host, port, ("00000000-1111-2222-3333-444444444444", "1.0"))
        failures.append("a bind to an unknown interface was accepted")
    except DCERPCException as error:
        if "abstract_syntax_not_supported" not in str(error):
            failures.append(f"unknown interface refused oddly: {error}")
    return failures


def check_capture(host, port):
    """Captures one call and lets tshark's DCE/RPC dissector read it; returns failures."""
    tshark = "/usr/bin/tshark"
    if not os.access(tshark, os.X_OK):
        print("note: tshark is not installed; capture check skipped")
        return []
    with tempfile.TemporaryDirectory() as folder:
        capture_file = os.path.join(folder, "call.pcapng")
        capture = subprocess.Popen(
            [tshark, "-q", "-i", "lo", "-f", f"tcp port {port}", "-w", capture_file],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        started = False
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            line = capture.stderr.readline()
            if not line:
                break
            if "Capturing on" in line:
                started = True
                break
        if not started:
            capture.kill()
            capture.wait()
            print("note: tshark cannot capture on loopback here (no permission?); capture check skipped")
            return []
        time.sleep(2)  # tshark announces the interface a moment before it captures
        dce = connect(host, port, NODE_AGENT)
        call(dce, 3, struct.pack("<I", 256))
        dce.disconnect()
        time.sleep(1)  # let the capture write the last packets before it is stopped
        capture.send_signal(signal.SIGINT)
        capture.wait(timeout=30)
        fields = subprocess.run(
            [tshark, "-r", capture_file, "-d", f"tcp.port=={port},dcerpc", "-Y", "dcerpc",
             "-T", "fields", "-e", "dcerpc.pkt_type", "-e", "dcerpc.opnum"],
            capture_output=True, text=True, timeout=60)
    packets = [line.split("\t") for line in fields.stdout.splitlines() if line.strip()]
    types = {row[0] for row in packets}
    failures = []
    for wanted, name in (("11", "bind"), ("12", "bind_ack"), ("0", "request"), ("2", "response")):
        if wanted not in types:
            failures.append(f"tshark saw no DCE/RPC {name} (saw types {sorted(types)})")
    if not any(row[0] == "0" and len(row) > 1 and row[1] == "3" for row in packets):
        failures.append("tshark saw no request for opnum 3")
    return failures


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 1
    try:
        import impacket.dcerpc.v5.transport  # noqa: F401
    except ImportError as error:
        print(f"SKIP: python3-impacket cannot be imported ({error})")
        return SKIPPED
    server = subprocess.Popen([sys.argv[1]], stdout=subprocess.PIPE, text=True)
    try:
        binding = server.stdout.readline().strip()
        match = re.fullmatch(r"ncacn_ip_tcp:([^\[]+)\[(\d+)\]", binding)
        if not match:
            print(f"FAIL: the server printed no TCP binding: {binding!r}")
            return 1
        host, port = match.group(1), int(match.group(2))
        failures = check_calls(host, port) + check_capture(host, port)
    finally:
        server.send_signal(signal.SIGTERM)
        exit_code = server.wait(timeout=30)
    if exit_code != 0:
        failures.append(f"the server exited with {exit_code} after SIGTERM")
    for failure in failures:
        print(f"FAIL: {failure}")
    if not failures:
        print("PASS: impacket called the server; statuses and reply bytes as expected")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
