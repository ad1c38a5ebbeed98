#!/usr/bin/env python3
"""Writes the seed corpora of the harnesses into fuzz/corpus/<harness>/.

Run from anywhere: ./fuzz/make_seeds.py. Packages are signed with the development key through
openssl, in the layout the writer uses (header, signature, one gzip member with a fixed header).
The seeds are checked in; run this again only to change them.
"""
import pathlib
import struct
import subprocess
import zlib

FUZZ = pathlib.Path(__file__).resolve().parent
ROOT = FUZZ.parent
KEY = ROOT / "data" / "keys" / "rigwright-dev-private.der"
MACHINES = ROOT / "data" / "Generic Machines"


def content(records):
    out = b""
    for name, data in sorted(records.items()):
        out += struct.pack("<II", 9 + len(name) + len(data), len(name)) + name + b"\0" + data
    return out


def gzip_member(data):
    deflate = zlib.compressobj(6, zlib.DEFLATED, -15)
    body = deflate.compress(data) + deflate.flush()
    return (bytes([0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 0, 0]) + body +
            struct.pack("<II", zlib.crc32(data), len(data) & 0xFFFFFFFF))


def signed(payload):
    signature = subprocess.run(
        ["openssl", "dgst", "-sha1", "-sign", str(KEY), "-keyform", "DER"],
        input=payload, capture_output=True, check=True).stdout
    return struct.pack("<III", 0, len(signature), len(payload)) + signature + payload


def write(harness, name, data):
    folder = FUZZ / "corpus" / harness
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data if isinstance(data, bytes) else data.encode())


def package_seeds():
    machine = {b"config.json": b'{"MachineDefinition":{"Header":{"GUID":"m"}}}',
               b"base.stl": b"solid base\nendsolid\n", b"sub/head.stl": b"\x00" * 84}
    cfg = {b"config.json": machine[b"config.json"]}
    bundle = {b"Mill.OrvaneSim": signed(gzip_member(content(machine))),
              b"Mill.OrvaneSimCfg": signed(gzip_member(content(cfg))),
              b"Mill.pst": b"post"}
    for name, records in [("machine", machine), ("configuration", cfg), ("bundle", bundle),
                          ("empty", {})]:
        write("package_reader_fuzzer", "file-" + name, b"\0" + signed(gzip_member(content(records))))
        write("package_reader_fuzzer", "payload-" + name, b"\1" + gzip_member(content(records)))
        write("package_reader_fuzzer", "content-" + name, b"\2" + content(records))
    hostile = {b"../escape": b"x", b"/absolute": b"x", b"a\\b": b"x", b"ctl\x01\x7f\xff": b"x"}
    write("package_reader_fuzzer", "content-hostile-names", b"\2" + content(hostile))


def machine_seeds():
    for path in sorted(MACHINES.glob("*.mcfg")):
        config = (path.with_suffix("") / "config.json").read_bytes()
        write("machine_document_fuzzer", path.stem.replace(" ", "-"),
              b"\1" + path.read_bytes() + b"\n--config--\n" + config)
    small = [
        (0, '{"MachineDefinition":{"Header":{"GUID":"g"},"Base":{"Path":"base.stl"},'
            '"Table":{"Path":"table.stl"},"Link":{"Path":"link.stl"},"Up":{"Path":"up.stl"},'
            '"Sub":[{"Path":"sub/spindle.stl","GUID":"s"}]}}',
         '{"UserConfiguration":{"Models":[{"GUID":"s","Geometry":{"Path":"../secret.stl"}}]}}'),
        (2, '// locked\n{"MachineDefinitionLocked":{"Components":[{"GUID":"a","Geometry":'
            '{"Path":"base.stl"}}]},"MachineDefinition":null}',
         '{"UserConfiguration":{"Models":[{"GUID":"a","Geometry":{"Path":"sub\\\\spindle.stl"}}]}}'),
        (3, '{"MachineDefinition":{"Header":[],"GUID":{"x":1}}}', '{}'),
        (4, '[1,2,3]', 'not json'),
    ]
    for i, (orientation, machine, config) in enumerate(small):
        write("machine_document_fuzzer", "small-%d" % i,
              bytes([orientation]) + (machine + "\n--config--\n" + config).encode())


def option_seeds():
    line = ('--language="de-DE" --machineDirectory="/home/u/.local/share/Kelmora/Rigwright/" '
            '--defaultUnit=1 --pipeName="\\\\.\\pipe\\0A1B2C3D0E0F1A2B3C4D5E6F708192A3"')
    write("wrapper_options_fuzzer", "line", b"\0" + line.encode())
    write("wrapper_options_fuzzer", "line-unquoted", b"\0--language=en --defaultUnit= -12x --pipeName=\"open")
    write("wrapper_options_fuzzer", "argv", b"\1" + line.replace(" --", "\0--").encode())
    write("wrapper_options_fuzzer", "claim-free", b"\2")
    write("wrapper_options_fuzzer", "claim-taken", b"\2\1\2\3\4\0\1")


def pipe_seeds():
    write("pipe_message_fuzzer", "stl-request", b"Need stl path\n--reply--\n/tmp/Rigwright/Base.stl@0xb70000;/m/x.stl")
    write("pipe_message_fuzzer", "stl-request-nul", b"Need stl path\0\0\0\0\0\0\0\n--reply--\n")
    write("pipe_message_fuzzer", "stl-request-long-reply",
          b"Need stl path\n--reply--\n" + b";".join([b"/tmp/Rigwright/" + b"p" * 500 + b".stl@0x000000"] * 25))
    write("pipe_message_fuzzer", "folder", b"/tmp/")
    write("pipe_message_fuzzer", "folder-relative", b"tmp")
    write("pipe_message_fuzzer", "lower-case", b"need stl path")


def stl_seeds():
    write("stl_reply_fuzzer", "levels", b"\x0f1.0\n--\npart.v2\n--\n\n--\nBase\n--\nColumn\n--\nBase")
    write("stl_reply_fuzzer", "hostile", b"\x7f0x1p-3\n--\n../../x\n--\n+a;b@c.stl\n--\n..\n--\n"
          b"a/b\\c\n--\nCON\n--\n\x01\x1f\n--\nBASE\n--\nbase")
    write("stl_reply_fuzzer", "no-folder", b"\x830.05mm\n--\nname\n--\n/etc/hostname")


if __name__ == "__main__":
    package_seeds()
    machine_seeds()
    option_seeds()
    pipe_seeds()
    stl_seeds()
