// The native tier's benchmarks, for every case that has an all-double program: native_code/N (the
// machine code alone, its frame gathered from the host's variables), double_program/N (the
// all-double program alone on the same frame, for comparison) and native_code_compile/N
// (generating the machine code of the compiled expression). Nothing is registered in a build
// without the tier.
#pragma once

void RegisterNativeBenchmarks();
