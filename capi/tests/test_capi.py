"""Drives libqvcalc.so from Python through ctypes, as a scripting host would, and checks that the
library exports nothing but the C interface and carries its SONAME.

Usage: test_capi.py PATH/TO/libqvcalc.so
"""
import ctypes
import os
import re
import subprocess
import sys
import unittest

LIBRARY = sys.argv.pop(1) if len(sys.argv) > 1 else "libqvcalc.so"

ERROR_CALLBACK = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_char_p, ctypes.c_char_p)


def load(path):
    lib = ctypes.CDLL(path)
    handle = ctypes.c_void_p
    signatures = {
        "qvcalc_create": (handle, []),
        "qvcalc_destroy": (None, [handle]),
        "qvcalc_advise": (ctypes.c_int, [handle, ERROR_CALLBACK, ctypes.c_void_p]),
        "qvcalc_unadvise": (None, [handle, ctypes.c_int]),
        "qvcalc_compile": (None, [handle, ctypes.c_char_p]),
        "qvcalc_value": (ctypes.c_double, [handle]),
        "qvcalc_value_at": (ctypes.c_double, [handle, ctypes.POINTER(ctypes.c_int32)]),
        "qvcalc_set_variable": (ctypes.c_int, [handle, ctypes.c_char_p, ctypes.c_double]),
        "qvcalc_get_variable": (ctypes.c_int, [handle, ctypes.c_char_p, ctypes.POINTER(ctypes.c_double)]),
        "qvcalc_define_user_func": (None, [handle, ctypes.c_char_p]),
        "qvcalc_num_user_funcs": (ctypes.c_int16, [handle]),
        "qvcalc_user_func": (ctypes.c_char_p, [handle, ctypes.c_int32]),
        "qvcalc_error_code": (ctypes.c_int16, [handle]),
        "qvcalc_error_description": (ctypes.c_char_p, [handle]),
        "qvcalc_error_pos": (ctypes.c_int16, [handle]),
        "qvcalc_clear_error": (None, [handle]),
        "qvcalc_num_expressions": (ctypes.c_int32, [handle]),
        "qvcalc_expression": (ctypes.c_char_p, [handle, ctypes.c_int32]),
        "qvcalc_variable_name": (ctypes.c_char_p, [handle, ctypes.c_int32]),
    }
    for name, (restype, argtypes) in signatures.items():
        function = getattr(lib, name)
        function.restype = restype
        function.argtypes = argtypes
    return lib


class Calculator:
    """A thin Python face over one handle, the way a script would wrap the library."""

    def __init__(self, lib):
        self.lib = lib
        self.handle = lib.qvcalc_create()
        self.events = []
        self._callback = ERROR_CALLBACK(self._on_error)  # kept alive as long as the handle
        self.cookie = lib.qvcalc_advise(self.handle, self._callback, None)

    def _on_error(self, _context, source, description):
        self.events.append((source.decode(), description.decode()))

    def close(self):
        self.lib.qvcalc_destroy(self.handle)

    def evaluate(self, text):
        self.lib.qvcalc_compile(self.handle, text.encode())
        return self.lib.qvcalc_value(self.handle)

    def __setitem__(self, name, value):
        assert self.lib.qvcalc_set_variable(self.handle, name.encode(), value) == 0

    def __getitem__(self, name):
        out = ctypes.c_double()
        assert self.lib.qvcalc_get_variable(self.handle, name.encode(), ctypes.byref(out)) == 0
        return out.value

    def error(self):
        return (self.lib.qvcalc_error_code(self.handle),
                self.lib.qvcalc_error_description(self.handle).decode())


class CycleTest(unittest.TestCase):
    def setUp(self):
        self.lib = load(LIBRARY)
        self.calc = Calculator(self.lib)

    def tearDown(self):
        self.calc.close()

    def test_variables_compile_and_value(self):
        calc = self.calc
        calc["Rate"] = 0.25
        self.assertEqual(calc.evaluate("rate * 100"), 25)
        calc["RATE"] = 0.5
        self.assertEqual(self.lib.qvcalc_value(calc.handle), 50)
        self.assertEqual(calc["rate"], 0.5)
        self.assertEqual(self.lib.qvcalc_variable_name(calc.handle, 1), b"Rate")
        self.assertEqual(self.lib.qvcalc_expression(calc.handle, 1), b"rate * 100")
        index = ctypes.c_int32(-5)
        self.assertEqual(self.lib.qvcalc_value_at(calc.handle, ctypes.byref(index)), 50)
        self.assertEqual(index.value, 1)

    def test_user_functions(self):
        calc = self.calc
        self.lib.qvcalc_define_user_func(calc.handle, b"Hyp(A, B) = SQR(A*A + B*B) ' hypotenuse")
        self.assertEqual(calc.error(), (0, ""))
        self.assertEqual(self.lib.qvcalc_num_user_funcs(calc.handle), 1)
        self.assertEqual(self.lib.qvcalc_user_func(calc.handle, 1), b"Hyp(A, B) = SQR(A*A + B*B)")
        self.assertEqual(calc.evaluate("Hyp(3, 4)"), 5)

    def test_engine_errors_and_the_event(self):
        calc = self.calc
        self.assertEqual(calc.evaluate("LN(0)"), 0)
        self.assertEqual(calc.error(), (6, "LN(0)"))
        self.lib.qvcalc_clear_error(calc.handle)
        calc.evaluate("SIN X")
        self.assertEqual(calc.error(), (1, "Syntax Error: Missing brackets"))
        self.assertEqual(self.lib.qvcalc_error_pos(calc.handle), 1)
        self.assertEqual(calc.events, [])
        self.lib.qvcalc_clear_error(calc.handle)
        self.assertEqual(calc.evaluate('"not a number"'), 0)
        self.assertEqual(calc.events, [("Error 13 has occured in QvCalc.ocx, Value", "Type mismatch")])
        self.lib.qvcalc_unadvise(calc.handle, calc.cookie)
        calc.evaluate('"again"')
        self.assertEqual(len(calc.events), 1)


class ColumnsTest(unittest.TestCase):
    """The column call over numpy arrays, as a data script would use it through ctypes."""

    def test_rows_statuses_and_threads(self):
        try:
            import numpy
        except ImportError:
            self.skipTest("numpy is not installed for this interpreter")
        lib = load(LIBRARY)
        function = lib.qvcalc_value_columns
        double_p = ctypes.POINTER(ctypes.c_double)
        function.restype = ctypes.c_size_t
        function.argtypes = [ctypes.c_void_p, ctypes.c_int32, ctypes.POINTER(ctypes.c_char_p),
                             ctypes.POINTER(double_p), ctypes.c_size_t, ctypes.c_size_t, double_p,
                             ctypes.POINTER(ctypes.c_int32), ctypes.c_uint]
        handle = lib.qvcalc_create()
        self.addCleanup(lib.qvcalc_destroy, handle)
        lib.qvcalc_compile(handle, b"1 / X + LN(Y)")
        xs = numpy.array([1.0, 0.0, 2.0, 4.0] * 5000)
        ys = numpy.array([1.0, 1.0, -1.0, numpy.e] * 5000)
        names = (ctypes.c_char_p * 2)(b"x", b"Y")
        columns = (double_p * 2)(xs.ctypes.data_as(double_p), ys.ctypes.data_as(double_p))
        for threads in (1, 2):
            out = numpy.empty(len(xs))
            status = numpy.empty(len(xs), dtype=numpy.int32)
            good = function(handle, 0, names, columns, 2, len(xs), out.ctypes.data_as(double_p),
                            status.ctypes.data_as(ctypes.POINTER(ctypes.c_int32)), threads)
            self.assertEqual(good, len(xs) // 2)
            self.assertEqual(status[:4].tolist(), [0, 6, 6, 0])
            self.assertEqual(out[0], 1.0)
            self.assertTrue(numpy.isnan(out[1]))
            self.assertAlmostEqual(out[3], 1.25)
        self.assertEqual(lib.qvcalc_error_code(handle), 0)


class LibraryTest(unittest.TestCase):
    def test_exports_exactly_the_c_interface(self):
        listing = subprocess.run(["nm", "-D", "--defined-only", LIBRARY],
                                 capture_output=True, text=True, check=True).stdout
        names = {line.split()[-1].split("@")[0] for line in listing.splitlines() if line.strip()}
        names.discard("QVCALC_1")  # the version node
        header = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "qvcalc.h")
        with open(header) as text:
            declared = set(re.findall(r"^QVCALC_API[^(]*?\b(qvcalc_\w+)\(", text.read(), re.M))
        self.assertGreater(len(declared), 25)
        self.assertEqual(names, declared)

    def test_soname_is_versioned(self):
        dynamic = subprocess.run(["readelf", "-d", LIBRARY],
                                 capture_output=True, text=True, check=True).stdout
        self.assertRegex(dynamic, r"SONAME.*\[libqvcalc\.so\.\d+\]")


if __name__ == "__main__":
    unittest.main(verbosity=2)
