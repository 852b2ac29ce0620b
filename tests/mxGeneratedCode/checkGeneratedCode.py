#!/usr/bin/env python3
"""Reads the generated code of the built libraries (objdump -d) and checks that each routine
set is built from the instructions it claims:

- every 3DNow routine uses the MMX registers and 3DNow instructions, clears the MMX state
  (femms) before it calls out or returns, runs no x87 instruction while the MMX state is
  live, and follows every reciprocal (pfrcp) and reciprocal square root (pfrsqrt) estimate
  by its refinement steps (pfrcpit1, pfrcpit2 / pfrsqit1, pfrcpit2); every 3DNow extension
  routine uses an extended instruction;
- in a 32-bit build: the SSE routines use no SSE2 instruction, the x87 routines no SSE or
  MMX instruction (and really compute on the x87 unit), and no code of any built library
  outside the SSE, SSE2 and 3DNow routines touches an SSE register, so the binaries run on
  an i686 without SSE.

The emulator runs SSE2 instructions on a processor without them and computes the estimates
exactly, so neither fault would show in a run.

usage: checkGeneratedCode.py --bits 32|64 --math LIBMXMATH [--all LIBRARY...]
"""
import argparse
import re
import subprocess
import sys

THREE_DNOW_SETS = ("mx::amd3DNow::", "mx::amd3DNowExt::")
MOVE_ONLY = ("MXMatrixTranslation", "MXMatrixScaling", "MXMatrixTranspose")
EXTENDED = {"pswapd", "pfnacc", "pfpnacc", "pi2fw", "pf2iw"}
SSE_NAMESPACES = ("mx::sse::", "mx::sse2::", "mx::packed::")
SSE2_ONLY = {
    "movdqa", "movdqu", "pshufd", "pshuflw", "pshufhw", "cvtdq2ps", "cvtps2dq", "cvttps2dq",
    "cvtps2pd", "cvtpd2ps", "cvtss2sd", "cvtsd2ss", "cvtsi2sd", "cvttsd2si", "cvtsd2si",
    "maskmovdqu", "movntdq", "movnti", "movntpd", "lfence", "mfence", "clflush", "paddq", "psubq",
    "pmuludq", "punpcklqdq", "punpckhqdq", "pslldq", "psrldq", "movq2dq", "movdq2q",
}

failures = []


def fail(msg):
    failures.append(msg)


def disassemble(path):
    """{function name: [(mnemonic, operands)]} of the text sections."""
    out = subprocess.run(["objdump", "-d", "-C", "--no-show-raw-insn", "-M", "att", path],
                         check=True, capture_output=True, text=True).stdout
    functions, current = {}, None
    header = re.compile(r"^[0-9a-f]+ <(.*)>:$")
    insn = re.compile(r"^\s+[0-9a-f]+:\s+(\S+)\s*(.*)$")
    for line in out.splitlines():
        m = header.match(line)
        if m:
            current = functions.setdefault(m.group(1), [])
            continue
        m = insn.match(line)
        if m and current is not None:
            mnemonic, operands = m.group(1), m.group(2).split("#")[0].strip()
            if mnemonic in ("rep", "repz", "repnz", "lock", "notrack", "bnd", "data16") and operands:
                mnemonic, _, operands = operands.partition(" ")
            current.append((mnemonic, operands))
    return functions


def is_x87(mnemonic):
    return mnemonic.startswith("f") and mnemonic not in ("femms",)


def uses_mmx(operands):
    return re.search(r"%mm\d", operands) is not None


def is_3dnow(mnemonic):
    return mnemonic.startswith("pf") or mnemonic in ("pi2fd", "pi2fw", "pswapd", "pavgusb", "pmulhrw")


def short(name):
    return name.split("(")[0]


def check_3dnow(functions):
    found = {s: 0 for s in THREE_DNOW_SETS}
    for name, code in functions.items():
        ns = next((s for s in THREE_DNOW_SETS if name.startswith(s)), None)
        if ns is None or "(anonymous namespace)" in name or "::{lambda" in name:
            continue
        routine = short(name)[len(ns):]
        if not routine.startswith("MX"):
            continue
        found[ns] += 1
        mnemonics = [m for m, _ in code]
        if not any(uses_mmx(o) for _, o in code):
            fail(f"{short(name)}: does not use the MMX registers")
        if "femms" not in mnemonics:
            fail(f"{short(name)}: never clears the MMX state")
        if routine not in MOVE_ONLY and not any(is_3dnow(m) for m in mnemonics):
            fail(f"{short(name)}: no 3DNow arithmetic")
        if ns == "mx::amd3DNowExt::" and not EXTENDED.intersection(mnemonics):
            fail(f"{short(name)}: no extended 3DNow instruction")
        live = False
        for i, (m, o) in enumerate(code):
            if m == "femms":
                live = False
            elif uses_mmx(o) or is_3dnow(m):
                live = True
            elif is_x87(m) and live:
                fail(f"{short(name)}: x87 instruction {m} while the MMX state is live")
            elif m.startswith("call") and live:
                fail(f"{short(name)}: calls out with the MMX state live")
            elif m.startswith("ret") or m.startswith("jmp") and "<" in o and short(name) not in o:
                if live:
                    fail(f"{short(name)}: returns with the MMX state live")
                live = False
            elif m.startswith("jmp"):
                live = False
            steps = {"pfrcp": ["pfrcpit1", "pfrcpit2"], "pfrsqrt": ["pfrsqit1", "pfrcpit2"]}.get(m)
            if steps:
                following = [x for x, _ in code[i + 1:i + 6]]
                it = iter(following)
                if not all(step in it for step in steps):
                    fail(f"{short(name)}: {m} at instruction {i} is not followed by {' and '.join(steps)}")
    if found["mx::amd3DNow::"] != 57:
        fail(f"found {found['mx::amd3DNow::']} routines of the 3DNow set, want 57")
    if found["mx::amd3DNowExt::"] != 5:
        fail(f"found {found['mx::amd3DNowExt::']} routines of the 3DNow extension set, want 5")


def is_sse2(mnemonic, operands):
    if mnemonic in SSE2_ONLY:
        return True
    xmm = "%xmm" in operands
    if xmm and (mnemonic.endswith("pd") or mnemonic.endswith("sd")):
        return True
    # Integer SIMD on the SSE registers, and 32/64-bit moves into or out of them.
    if xmm and (mnemonic.startswith("p") or mnemonic in ("movd", "movq")):
        return True
    return False


def check_32bit(functions, all_functions):
    sse_routines = x87_routines = 0
    for name, code in functions.items():
        if name.startswith("mx::sse::") and short(name).split("::")[-1].startswith("MX"):
            sse_routines += 1
            for m, o in code:
                if is_sse2(m, o):
                    fail(f"{short(name)}: SSE2 instruction {m} {o} in the SSE set")
        if name.startswith("mx::x87::"):
            x87_routines += 1
            for m, o in code:
                if "%xmm" in o or "%mm" in o or m in ("ldmxcsr", "stmxcsr", "emms", "femms"):
                    fail(f"{short(name)}: {m} {o} in the x87 set")
    if sse_routines == 0:
        fail("no routine of the SSE set found")
    if x87_routines < 57:
        fail(f"found {x87_routines} x87 routines, want 57 at least")
    multiply = next((c for n, c in functions.items() if n.startswith("mx::x87::MXMatrixMultiply(")), [])
    if not any(m.startswith("fmul") for m, _ in multiply) or not any(m.startswith("fadd") for m, _ in multiply):
        fail("mx::x87::MXMatrixMultiply does not compute on the x87 unit")
    allowed = SSE_NAMESPACES + THREE_DNOW_SETS
    for lib, funcs in all_functions.items():
        for name, code in funcs.items():
            if name.startswith(allowed):
                continue
            for m, o in code:
                if "%xmm" in o or m in SSE2_ONLY or m in ("ldmxcsr", "stmxcsr"):
                    fail(f"{lib}: {short(name)} uses {m} {o}, which an i686 without SSE lacks")
                    break


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--bits", type=int, required=True, choices=(32, 64))
    p.add_argument("--math", required=True)
    p.add_argument("--all", nargs="*", default=[])
    args = p.parse_args()
    math = disassemble(args.math)
    check_3dnow(math)
    if args.bits == 32:
        check_32bit(math, {lib: disassemble(lib) for lib in [args.math] + args.all})
    for f in failures:
        print("FAILED:", f)
    if not failures:
        print(f"generated code of {args.math} checked ({'32' if args.bits == 32 else '64'}-bit)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
