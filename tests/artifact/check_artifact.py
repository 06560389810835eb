#!/usr/bin/env python3
"""Reads the shipped i686 updater back from its file and checks what Windows
95 and NT 4.0 need to load it: machine, subsystem and OS versions, imports
limited to the known system functions, no C runtime, and the Japanese
resources; and what every processor that runs Windows 95 can execute: its
code, disassembled, holds only 80386 and x87 instructions. With --report it
prints the size of code, data and resources.
    check_artifact.py <exe> <import list> [--objdump <objdump>] [--report]"""
import re
import struct
import subprocess
import sys

RT = {"BITMAP": 2, "DIALOG": 5, "STRING": 6, "RCDATA": 10, "GROUP_ICON": 14, "VERSION": 16, "ICON": 3}
LANG_JAPANESE = 0x411
# The updater travels beside 41 staged files; it must stay small.
SIZE_LIMIT = 78 * 1024


class PeFile:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE image")
        (self.machine, nsections, _, _, _, opt_size, self.characteristics) = struct.unpack_from(
            "<HHIIIHH", data, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        (self.os_major, self.os_minor, _, _, self.subsys_major, self.subsys_minor) = struct.unpack_from(
            "<HHHHHH", data, opt + 40)
        self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        dirs = opt + (96 if self.magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(16)]
        self.sections = []
        sec = opt + opt_size
        for i in range(nsections):
            name, vsize, vaddr, rawsize, rawptr = struct.unpack_from("<8sIIII", data, sec + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode(), vsize, vaddr, rawsize, rawptr))

    def offset(self, rva):
        for _, vsize, vaddr, rawsize, rawptr in self.sections:
            if vaddr <= rva < vaddr + max(vsize, rawsize):
                return rawptr + rva - vaddr
        raise ValueError("rva %x outside the sections" % rva)

    def cstring(self, rva):
        off = self.offset(rva)
        return self.data[off:self.data.index(b"\0", off)].decode("ascii")

    def imports(self):
        rva, _ = self.directories[1]
        result = {}
        off = self.offset(rva)
        while True:
            ilt, _, _, name_rva, iat = struct.unpack_from("<IIIII", self.data, off)
            if name_rva == 0:
                break
            dll = self.cstring(name_rva).upper()
            funcs = []
            entry = self.offset(ilt or iat)
            while True:
                thunk = struct.unpack_from("<I", self.data, entry)[0]
                if thunk == 0:
                    break
                if thunk & 0x80000000:
                    funcs.append("#%d" % (thunk & 0xFFFF))
                else:
                    funcs.append(self.cstring(thunk + 2))
                entry += 4
            result.setdefault(dll, []).extend(funcs)
            off += 20
        return result

    def resources(self):
        """(type, name, language) -> size, for every resource."""
        rva, _ = self.directories[2]
        base = self.offset(rva)
        found = {}

        def walk(off, path):
            _, _, _, _, named, ids = struct.unpack_from("<IIHHHH", self.data, base + off)
            for i in range(named + ids):
                name, target = struct.unpack_from("<II", self.data, base + off + 16 + 8 * i)
                key = name if not name & 0x80000000 else "name@%x" % (name & 0x7FFFFFFF)
                if target & 0x80000000:
                    walk(target & 0x7FFFFFFF, path + [key])
                else:
                    data_rva, size = struct.unpack_from("<II", self.data, base + target)
                    found[tuple(path + [key])] = (data_rva, size)
        walk(0, [])
        return found


# Instructions that the 80386 with an x87 FPU lacks, with the processor that
# brought them. Windows 95 runs on a 386, 486 and Pentium, so none may appear.
LATER_INSTRUCTIONS = {
    "80486": ["bswap", "cmpxchg", "xadd", "invd", "wbinvd", "invlpg"],
    "Pentium": ["cmpxchg8b", "rdtsc", "rdmsr", "wrmsr", "cpuid", "rsm"],
    "Pentium Pro": ["fcomi", "fcomip", "fucomi", "fucomip", "ud2", "rdpmc", "nopl", "nopw",
                    "sysenter", "sysexit"],
    "later processors": ["emms", "fxsave", "fxrstor", "lfence", "mfence", "sfence", "clflush",
                         "fisttp", "fisttpl", "fisttpll", "movnti", "syscall", "sysret",
                         "popcnt", "lzcnt", "tzcnt", "movbe", "crc32"],
}
LATER_PREFIXES = {"cmov": "Pentium Pro", "fcmov": "Pentium Pro", "prefetch": "later processors"}
SIMD_REGISTER = re.compile(r"%(x|y|z)?mm\d")
INSTRUCTION_PREFIXES = {"rep", "repz", "repe", "repnz", "repne", "lock", "data16", "addr16",
                        "cs", "ds", "es", "ss", "fs", "gs"}


def later_instructions(exe_path, objdump):
    """(count, faults): the number of instructions disassembled, and one line
    for each that the 80386 and its x87 FPU do not have."""
    run = subprocess.run([objdump, "-d", "--no-show-raw-insn", exe_path], capture_output=True, text=True)
    if run.returncode != 0:
        return 0, ["code cannot be disassembled as i386: " + run.stderr.strip()]
    listing = run.stdout
    by_name = {name: cpu for cpu, names in LATER_INSTRUCTIONS.items() for name in names}
    count, faults = 0, []
    for line in listing.splitlines():
        match = re.match(r"\s*([0-9a-f]+):\t(.*)$", line)
        if not match:
            continue
        text = match.group(2).strip()
        words = text.split()
        while words and words[0] in INSTRUCTION_PREFIXES:
            words = words[1:]
        if not words or words[0] == "(bad)":
            continue
        count += 1
        mnemonic = words[0]
        cpu = by_name.get(mnemonic)
        if cpu is None:
            cpu = next((c for p, c in LATER_PREFIXES.items() if mnemonic.startswith(p)), None)
        if cpu is None and SIMD_REGISTER.search(text):
            cpu = "MMX or SSE"
        if cpu is not None:
            faults.append("instruction at %s needs a %s processor: %s" % (match.group(1), cpu, text))
    return count, faults


def load_whitelist(path):
    allowed = set()
    with open(path) as f:
        for line in f:
            line = line.strip()
            if line and not line.startswith("#"):
                dll, func = line.split()
                allowed.add((dll.upper(), func))
    return allowed


def check(exe_path, whitelist_path, objdump="i686-w64-mingw32-objdump"):
    problems = []
    pe = PeFile(open(exe_path, "rb").read())
    if len(pe.data) > SIZE_LIMIT:
        problems.append("%d bytes, more than the %d-byte limit" % (len(pe.data), SIZE_LIMIT))
    if pe.machine != 0x14C:
        problems.append("machine is %#x, not i386" % pe.machine)
    if pe.magic != 0x10B:
        problems.append("not a PE32 image")
    if pe.subsystem != 2:
        problems.append("subsystem %d is not the GUI subsystem" % pe.subsystem)
    if (pe.subsys_major, pe.subsys_minor) != (4, 0):
        problems.append("subsystem version %d.%d, not 4.0" % (pe.subsys_major, pe.subsys_minor))
    if (pe.os_major, pe.os_minor) != (4, 0):
        problems.append("OS version %d.%d, not 4.0" % (pe.os_major, pe.os_minor))

    allowed = load_whitelist(whitelist_path)
    imports = pe.imports()
    expected_dlls = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "COMCTL32.DLL", "ADVAPI32.DLL", "VERSION.DLL"}
    for dll, funcs in sorted(imports.items()):
        if dll not in expected_dlls:
            problems.append("imports from %s" % dll)
        for func in funcs:
            if (dll, func) not in allowed:
                problems.append("import %s %s is not known to exist on Windows 95 and NT 4.0" % (dll, func))
    if any("MSVCR" in d or "UCRT" in d or "API-MS" in d or "LIBSTDC" in d or "LIBGCC" in d for d in imports):
        problems.append("links a C or C++ runtime DLL")

    res = pe.resources()
    wanted = [("DIALOG", 102), ("BITMAP", 111), ("BITMAP", 121), ("RCDATA", 120), ("GROUP_ICON", 110), ("VERSION", 1)]
    for kind, ident in wanted:
        if (RT[kind], ident, LANG_JAPANESE) not in res:
            problems.append("no Japanese %s resource %d" % (kind, ident))
    strings = [k for k in res if k[0] == RT["STRING"]]
    if not strings or any(k[2] != LANG_JAPANESE for k in strings):
        problems.append("string table missing or not Japanese")
    icons = [k for k in res if k[0] == RT["ICON"]]
    if len(icons) != 2:
        problems.append("icon has %d images, not 2" % len(icons))
    if (RT["RCDATA"], 120, LANG_JAPANESE) in res:
        rva, size = res[(RT["RCDATA"], 120, LANG_JAPANESE)]
        terms = pe.data[pe.offset(rva):pe.offset(rva) + size]
        if not terms.endswith(b"\0") or b"\r\n" not in terms:
            problems.append("terms text is not CR LF text ending in a zero byte")
        else:
            try:
                terms[:-1].decode("cp932")
            except UnicodeDecodeError:
                problems.append("terms text is not code page 932")
    if (RT["VERSION"], 1, LANG_JAPANESE) in res:
        rva, size = res[(RT["VERSION"], 1, LANG_JAPANESE)]
        block = pe.data[pe.offset(rva):pe.offset(rva) + size]
        if "041104b0".encode("utf-16-le") not in block or "3, 1, 3, 0".encode("utf-16-le") not in block:
            problems.append("version resource lacks block 041104b0 with \"3, 1, 3, 0\"")
    pe.instruction_count, faults = later_instructions(exe_path, objdump)
    problems.extend(faults)
    return pe, imports, res, problems


def report(pe, imports, res, exe_path):
    total = len(pe.data)
    code = sum(s[3] for s in pe.sections if s[0] == ".text")
    rsrc = sum(s[3] for s in pe.sections if s[0] == ".rsrc")
    data = sum(s[3] for s in pe.sections if s[0] not in (".text", ".rsrc"))
    print("%s: %d bytes in all; code %d, data %d, resources %d, headers %d" % (
        exe_path, total, code, data, rsrc, total - code - data - rsrc))
    print("imports: " + ", ".join("%s %d" % (d, len(f)) for d, f in sorted(imports.items())))
    print("instructions: %d disassembled, checked against the 80386 and its x87 FPU" % pe.instruction_count)


def arguments(argv):
    """(exe, import list, objdump, report) from the command line."""
    args, objdump, report = [], "i686-w64-mingw32-objdump", False
    i = 0
    while i < len(argv):
        if argv[i] == "--objdump":
            objdump = argv[i + 1]
            i += 1
        elif argv[i] == "--report":
            report = True
        else:
            args.append(argv[i])
        i += 1
    return args[0], args[1], objdump, report


def main():
    exe, whitelist, objdump, report_wanted = arguments(sys.argv[1:])
    pe, imports, res, problems = check(exe, whitelist, objdump)
    if report_wanted:
        report(pe, imports, res, exe)
    for p in problems:
        print("PROBLEM: " + p)
    print("%d passed, %d failed" % (1 if not problems else 0, 1 if problems else 0))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
