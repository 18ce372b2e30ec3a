"""Runs the qvcalc binary: one-shot arguments, pipe mode, errors and exit codes, the strict rules
and their hints, definitions, arrays and files, and interactive sessions on a pseudo-terminal.

Usage: test_cli.py PATH/TO/qvcalc
"""
import csv
import fcntl
import io
import os
import pty
import random
import re
import select
import subprocess
import sys
import tempfile
import termios
import time
import unittest

QVCALC = sys.argv.pop(1) if len(sys.argv) > 1 else "qvcalc"


def run(*args, stdin="", newline=None):
    """newline="" keeps the line ends of the output as they were written."""
    done = subprocess.run([QVCALC, *args], input=stdin.encode(), capture_output=True, timeout=30)
    done.stdout, done.stderr = (io.TextIOWrapper(io.BytesIO(data), newline=newline).read()
                                for data in (done.stdout, done.stderr))
    return done


class OneShot(unittest.TestCase):
    def test_results_one_a_line_in_order(self):
        done = run("1+2*3", "-2^2", "2^3^2", '"ab" & 1', "10/4", "1.0E20 * 10", "FACT(5)")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout.splitlines(), ["7", "4", "64", "ab1", "2.5", "1E+21", "120"])
        self.assertEqual(done.stderr, "")

    def test_general_number_form(self):
        done = run("1/3", "PI", "2^0.5 * 1.0E-7")
        self.assertEqual(done.stdout.splitlines(), ["0.333333333333333", "3.14159265358979",
                                                    "1.4142135623731E-07"])

    def test_setup_options_run_first_and_in_order(self):
        done = run("-v", "R=2", "-v", "D = R * 2", "-f", "Area(W, H) = W * H", "Area(R, D)", "D")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout.splitlines(), ["8", "4"])

    def test_rpn_listing_precedes_the_result(self):
        done = run("--rpn", "1+2*3")
        self.assertEqual(done.stdout.splitlines(), ["rpn: 1 2 3 * +", "7"])

    def test_seed_makes_rnd_repeatable(self):
        first = run("--seed", "42", "RND(1000)", "RND(1000)").stdout
        again = run("--seed=42", "RND(1000)", "RND(1000)").stdout
        self.assertEqual(first, again)
        values = [float(v) for v in first.split()]
        self.assertTrue(all(0 <= v < 1000 for v in values))
        self.assertNotEqual(values[0], values[1])

    def test_help_version_and_manual_page(self):
        usage = run("--help").stdout
        self.assertIn("Usage: qvcalc", usage)
        self.assertEqual(run("-h").returncode, 0)
        self.assertRegex(run("--version").stdout, r"^qvcalc \d+\.\d+\.\d+\n$")
        with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "qvcalc.1")) as page:
            manual = page.read().replace("\\-", "-")
        options = set(re.findall(r"^  (-[-\w]+)", usage, re.M)) | set(re.findall(r" (--\w+)", usage))
        self.assertGreater(len(options), 6)
        for option in options:
            self.assertIn(option, manual)
        commands = re.findall(r"^  (:\w+)", run(stdin=":help\n").stdout, re.M)
        self.assertIn(":undef", commands)
        for command in commands:
            self.assertIn(command, manual)


class Errors(unittest.TestCase):
    def test_compile_error_shows_code_description_and_caret(self):
        done = run("1 + * 2")
        self.assertEqual(done.returncode, 1)
        self.assertEqual(done.stdout, "")
        self.assertEqual(done.stderr.splitlines(),
                         ["qvcalc: error 1: Syntax Error: Unknown symbol", "  1 + * 2", "      ^"])

    def test_caret_at_the_end_for_an_unexpected_end(self):
        lines = run("2 *").stderr.splitlines()
        self.assertEqual(lines[0], "qvcalc: error 1: Syntax Error: Unexpected end of expression")
        self.assertEqual(lines[2], "     ^")  # one past the last character

    def test_evaluation_error_and_later_expressions_still_run(self):
        done = run("LN(0)", "1+1")
        self.assertEqual(done.returncode, 1)
        self.assertEqual(done.stdout, "2\n")
        self.assertEqual(done.stderr, "qvcalc: error 6: LN(0)\n")

    def test_bad_definition_fails(self):
        done = run("-f", "Sin(X) = X", "1")
        self.assertEqual(done.returncode, 1)
        self.assertIn("error 10:", done.stderr)
        self.assertEqual(done.stdout, "1\n")

    def test_usage_errors_exit_2(self):
        for args in (["-x"], ["-v"], ["-v", "3=4"], ["-v", "X="], ["--seed", "abc"], ["--seed"]):
            done = run(*args)
            self.assertEqual(done.returncode, 2, args)
            self.assertIn("--help", done.stderr)
            self.assertEqual(done.stdout, "")

    def test_double_dash_ends_options(self):
        done = run("--lenient", "--", "-v")
        self.assertEqual(done.returncode, 0)
        self.assertEqual(done.stdout, "0\n")  # the variable v, created with 0 when lenient


class Pipe(unittest.TestCase):
    def test_one_output_line_for_each_input_line(self):
        done = run(stdin="1+1\n\n   \n' a comment\nANS * 10 ' tenfold\r\n:let Q = 5\nQ + ANS\n")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout.split("\n"), ["2", "", "", "", "20", "", "25", ""])

    def test_failed_lines_leave_an_empty_line_and_name_the_line(self):
        done = run(stdin="1\nFOO(1)\n3\n")
        self.assertEqual(done.returncode, 1)
        self.assertEqual(done.stdout.split("\n"), ["1", "", "3", ""])
        self.assertEqual(done.stderr.splitlines()[0], "qvcalc: line 2: error 2: Unknown function: FOO")

    def test_commands_in_a_pipe(self):
        script = ":def Sq(X) = X * X\n:array A(2)\n:funcs\nSq(3)\n:exprs\n:rpn 1-2\n:reset\n:vars\n:bogus\n"
        done = run(stdin=script)
        self.assertEqual(done.stdout.split("\n"),
                         ["", "", "Sq(X) = X * X", "9", "1: Sq(3)", "rpn: 1 2 -", "", "", "", ""])
        self.assertEqual(done.returncode, 1)  # the unknown command
        self.assertIn("unknown command :bogus", done.stderr)

    def test_rpn_without_a_listing_still_evaluates(self):
        done = run("--rpn", stdin=":array A(3)\nA(1) + 2\n")
        self.assertEqual(done.stdout, "\n2\n")  # array elements start at 0
        self.assertIn("line 2: no listing", done.stderr)
        self.assertEqual(done.returncode, 0)

    def test_quit_stops_reading(self):
        done = run(stdin="1\n:quit\n2\n")
        self.assertEqual(done.stdout, "1\n")

    def test_help_has_one_line_for_every_function_operator_and_command(self):
        listing = run(stdin=":help\n").stdout
        functions, operators = listing.split("Functions (:help NAME explains one):\n")[1].split(
            "Operators, tightest first (:help MOD explains one):\n")
        functions, operators = functions.split(), operators.split()
        commands = [line.split()[0] for line in listing.splitlines() if line.startswith("  :")]
        self.assertIn("SQR", functions)
        self.assertIn(":undef", commands)
        self.assertEqual(operators, ["^", "-", "*", "/", "\\", "MOD", "+", "=", "<>", "<=", "<", ">=", ">",
                                     "NOT", "AND", "OR", "XOR", "&"])
        self.assertEqual(run(stdin=":help -\n").stdout, "-x: x with its sign turned\nx - y: the difference\n")
        operators.remove("-")
        names = functions + [name.lower() for name in functions] + commands + operators
        done = run(stdin="".join(":help %s\n" % name for name in names))
        self.assertEqual(done.returncode, 0, done.stderr)
        lines = done.stdout.splitlines()
        self.assertEqual(len(lines), len(names))
        for name, line in zip(names, lines):
            shown = name.upper() in line.upper().split(":")[0] if name in operators else line.upper().startswith(name.upper())
            self.assertTrue(shown and ": " in line, (name, line))
        self.assertEqual(run(stdin=":help sqrt\n").stdout, "sqrt is called SQR here. SQR(x): square root, x >= 0\n")


class Strict(unittest.TestCase):
    """The calculator's own rules: a failing step is an error, a name must be given a value first;
    --lenient restores the engine's continue-on-failure rule and variables created as 0."""

    HIDDEN = [("SQR(-4)", "-4"), ("1.0E308*10", "10"), ("EXP(710)", "710"), ("5 MOD 0", "0"),
              ("0^-1", "-1"), ("3.0E9 \\ 2", "2")]

    def test_failing_steps_are_errors_unless_lenient(self):
        for expression, lenient in self.HIDDEN:
            done = run(expression)
            self.assertEqual((done.returncode, done.stdout), (1, ""), expression)
            self.assertRegex(done.stderr, r"^qvcalc: error \d+: ", expression)
            done = run("--lenient", expression)
            self.assertEqual((done.returncode, done.stdout), (0, lenient + "\n"), expression)

    def test_a_function_recovers_after_a_failure_in_its_body(self):
        done = run("-f", "G(X) = 1/X", "G(0)", "G(2)")
        self.assertEqual(done.returncode, 1)
        self.assertEqual(done.stdout, "0.5\n")
        self.assertIn("in User Function 'G'", done.stderr)

    def test_unknown_names_are_errors_with_the_nearest_known_name(self):
        cases = [(["-v", "Price=120", "Pirce * 2"], "error 3: Undefined variable: Pirce (did you mean Price?)"),
                 (["Nothing + 1"], "error 3: Undefined variable: Nothing\n"),
                 (["sqrt(4)"], "error 2: Unknown function: sqrt (did you mean SQR?)"),
                 (["-f", "Hyp(A, B) = SQR(A*A + B*B)", "hpy(3, 4)"], "Unknown function: hpy (did you mean Hyp?)"),
                 (["-v", "X=1", "X != 2"], "(did you mean <>?)"),
                 (["-v", "X=1", "X == 1"], "(did you mean =?)"),
                 (["-v", "X=1", "X && 1"], "(did you mean AND?)"),
                 (["-f", "F(Rate) = Rte * 2", "1"], "error 3: Undefined variable: Rte in User Function 'F' (did you mean Rate?)")]
        for args, message in cases:
            done = run(*args)
            self.assertEqual(done.returncode, 1, args)
            self.assertIn(message, done.stderr, args)
        self.assertEqual(run("--lenient", "Nothing + 1").stdout, "1\n")


class Definitions(unittest.TestCase):
    def test_def_replaces_failed_def_leaves_nothing_and_undef_removes(self):
        script = (":def F(X) = X + 1\n:def Half(X) = X / 2\n:def F(X) = X * 10\nF(2) + Half(4)\n"
                  ":def G(X) = sqrt(X)\n:def G(X) = SQR(X)\nG(9)\n"
                  ":def H(X) = Y\n:def H(X) = -X\n:undef F\nF(1)\n:funcs\nHalf(1) + H(1)\n:undef Nope\n")
        done = run(stdin=script)
        self.assertEqual(done.stdout.split("\n"),
                         ["", "", "", "22", "", "", "3", "", "", "", "", "Half(X) = X / 2", "G(X) = SQR(X)", "H(X) = -X",
                          "-0.5", "", ""])
        errors = done.stderr.splitlines()
        self.assertIn("line 5: error 2: Unknown function: sqrt in User Function 'G'", errors[0])
        self.assertTrue(any("line 8: error 3: Undefined variable: Y in User Function 'H'" in e for e in errors))
        self.assertTrue(any("line 11: error 2: Unknown function: F" in e for e in errors))
        self.assertTrue(any("line 14: no function Nope" in e for e in errors))

    def test_arrays_elements_and_impossible_bounds(self):
        script = (":array T(3)\n:let T(3) = 5\nT(3) * 2\n:let T(4) = 1\n:array G(2, 2)\n:let G(1, 1 + 1) = 7\n"
                  "G(1, 2)\n:let G(1) = 1\n:array D(32768)\n:array C(-1)\n:array E(1,2,3,4,5)\n:let Q(1) = 1\n"
                  ":let T = 1\n:let T(0) = \"x\"\n")
        done = run(stdin=script)
        self.assertEqual(done.stdout.split("\n"), ["", "", "10", "", "", "", "7"] + [""] * 8)
        self.assertEqual(done.returncode, 1)
        for fragment in ("line 4: T: index 4 lies outside 0 to 3", "line 8: G has 2 dimensions",
                         "line 9: error 12: an upper bound is a whole number from 0 to 32767, not '32768'",
                         "line 10: error 12: an upper bound is a whole number from 0 to 32767, not '-1'",
                         "line 11: error 12: E: Too many dimensions for array", "line 12: Q is not an array",
                         "line 13: T is an array", "line 14: an element of T holds a number"):
            self.assertIn(fragment, done.stderr)

    def test_files_of_definitions_and_assignments(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "setup.qv")
            with open(path, "w") as out:
                out.write("# rates\nRate = 0.25  # a quarter\nNet(G, R) = G * (1 - R)\n\n:array Tab(2)\n"
                          "Tab(1) = Net(100, Rate)\nLabel = \"net # \" & Tab(1)\nBroken = Nowhere\n"
                          "Gross(G) = G * (1 + Rate)\n")
            done = run("-F", path, "Label", "Net(200, 0.5)")
            self.assertEqual(done.stdout, "net # 75\n100\n")
            self.assertEqual(done.returncode, 1)
            self.assertIn(path + ":8: error 3: Undefined variable: Nowhere\n", done.stderr)
            self.assertIn(path + ":9: error 3: Undefined variable: Rate in User Function 'Gross' "
                          "(a function's body sees only its parameters)", done.stderr)
            done = run(stdin=":load %s\nTab(1)\n:load %s\n" % (path, os.path.join(folder, "missing")))
            self.assertEqual(done.stdout.split("\n"), ["", "75", "", ""])
            self.assertIn("line 3: cannot read", done.stderr)


def raw_run(*args, stdin=b""):
    return subprocess.run([QVCALC, *args], input=stdin, capture_output=True, timeout=60)


def terminal_safe(test, shown):
    """No byte of shown moves a terminal: no control character but the line end, no DEL, no C1
    control, nothing that is not UTF-8."""
    text = shown.decode("utf-8")  # raises on a byte that is not UTF-8
    bad = [c for c in text if (ord(c) < 0x20 and c != "\n") or 0x7F <= ord(c) <= 0x9F]
    test.assertEqual(bad, [], text)


class Hostile(unittest.TestCase):
    """Input that would drive a terminal, in every place a message echoes input, and byte-order
    marks at the start of input; the calculator's refusals of names and files."""
    NASTY = "X\x1b[2J\x1b]0;pwned\x07\u009b31m\x7f"

    def test_control_characters_are_escaped_wherever_input_is_shown(self):
        nasty = self.NASTY.encode()
        with tempfile.TemporaryDirectory() as folder:
            defs = os.path.join(folder, "defs.txt")
            with open(defs, "wb") as handle:
                handle.write(b"A = 1 + " + nasty + b"\n")
            cases = (
                ([nasty.decode()], b""),                                       # one-shot
                ([], nasty + b"\n:" + nasty + b"\n"),                          # pipe, command
                (["-F", defs, "1"], b""),                                      # -F
                ([], b":load " + defs.encode() + b"\n"),                       # :load
                (["--csv", "-", "X * 2"], b"X\n" + nasty + b"\n"),             # CSV summary
                (["--csv", "-", "X * 2"], b'X\n"1\r\n' + nasty + b'"\n'),        # CSV, quoted
                (["-F", os.path.join(folder, nasty.decode()), "1"], b""))      # a path
            for args, stdin in cases:
                done = raw_run(*args, stdin=stdin)
                self.assertNotEqual(done.stderr, b"", args)
                terminal_safe(self, done.stderr)
                self.assertIn(b"\\x1b", done.stderr, (args, done.stderr))
        # Random bytes piped in: every error line is safe, one output line for each input line.
        generator = random.Random(24)
        lines = [bytes(generator.randrange(256) for _ in range(generator.randrange(1, 40))).replace(b"\n", b" ")
                 for _ in range(300)]
        done = raw_run(stdin=b"\n".join(lines) + b"\n")
        terminal_safe(self, done.stderr)
        self.assertEqual(done.stdout.count(b"\n"), len(lines))

    def test_a_long_cell_or_expression_is_cut_in_messages(self):
        done = run("--csv", "-", "X * 2", stdin="X\n" + "z" * 5000 + "\n")
        self.assertLess(len(done.stderr), 400, done.stderr)
        done = run("1+" * 3000 + "*2")
        self.assertLess(len(done.stderr), 400, done.stderr)
        caret = done.stderr.splitlines()
        self.assertEqual(caret[1][caret[2].index("^")], "*")

    def test_byte_order_mark_is_skipped_at_the_start_of_input_csv_and_definitions(self):
        bom = "\ufeff"
        self.assertEqual(run(stdin=bom + "1+2\n").stdout, "3\n")
        self.assertEqual(run("--csv", "-", "X * 2", stdin=bom + "X,Y\n4,5\n").stdout, "X,Y,X * 2\n4,5,8\n")
        with tempfile.TemporaryDirectory() as folder:
            defs = os.path.join(folder, "defs.txt")
            with open(defs, "w", encoding="utf-8") as handle:
                handle.write(bom + "R = 3\n")
            self.assertEqual(run("-F", defs, "R").stdout, "3\n")

    def test_folders_own_names_and_other_programs_words(self):
        with tempfile.TemporaryDirectory() as folder:
            for done in (run("-F", folder, "1"), run(stdin=":load %s\n" % folder)):
                self.assertEqual(done.returncode, 1)
                self.assertIn("cannot read '%s': Is a directory" % folder, done.stderr)
        done = run(stdin=":def ANS(X) = 1\n:def ans(X) = X\n2\nANS * 3\n")
        self.assertEqual(done.stdout, "\n\n2\n6\n")
        self.assertEqual(done.stderr.count("the calculator's own name"), 2)
        done = run(stdin="exit\nquit\nhelp\n?\n:let help = 4\nhelp\n")
        self.assertEqual(done.stdout, "\n\n\n\n\n4\n")
        self.assertEqual([line.split(": type ")[1] for line in done.stderr.splitlines()],
                         [":quit to leave"] * 2 + [":help for the commands and functions"] * 2)


def csv_file(text):
    handle = tempfile.NamedTemporaryFile("w", suffix=".csv", newline="", delete=False)
    handle.write(text)
    handle.close()
    return handle.name


def cells(text):
    return list(csv.reader(io.StringIO(text, newline="")))


class Csv(unittest.TestCase):
    TABLE = ('x,label,y\n1,"a, b",2\n\n3,"say ""hi""",0\n  \n5,"two\r\nlines",abc\r\n'
             '7, plain ,4\n9,,0.5')

    def test_quoted_cells_blank_lines_failing_rows_and_summary(self):
        path = csv_file(self.TABLE)
        try:
            done = run("--csv", path, "x / y", 'IIF(x > 6, "big", x)', "x * 1.1", "LEN(label) & y", newline="")
        finally:
            os.unlink(path)
        self.assertEqual(done.returncode, 1)
        rows = cells(done.stdout)
        self.assertEqual(rows[0], ["x", "label", "y", "x / y", 'IIF(x > 6, "big", x)', "x * 1.1", "LEN(label) & y"])
        # The input's cells come back as they were: comma, doubled quote, line break, blanks.
        self.assertEqual([row[:3] for row in rows[1:]], [
            ["1", "a, b", "2"], ["3", 'say "hi"', "0"], ["5", "two\r\nlines", "abc"],
            ["7", " plain ", "4"], ["9", "", "0.5"]])
        # A zero divisor and a text cell fail their rows of x / y only; a text result is a cell;
        # a text column works with the string functions; numbers read back exactly.
        self.assertEqual([row[3:] for row in rows[1:]], [
            ["0.5", "1", "1.1", "42"], ["", "3", "3.3000000000000003", "80"], ["", "5", "5.5", "10abc"],
            ["1.75", "big", "7.700000000000001", "74"], ["18", "big", "9.9", "00.5"]])
        self.assertEqual(done.stderr.splitlines(), [
            "qvcalc: 'x / y': 2 of 5 rows failed",
            "  error 6 in 1 row, the first row 2: Div by zero",
            "  error 13 in 1 row, the first row 3: y is not a number: 'abc'"])

    def test_cells_that_are_no_finite_number_and_text_results(self):
        # A text is greater than any number, so the texts take IIF's text, quoted as CSV needs.
        done = run("--csv", "-", "V * 2", 'V & "!"', 'IIF(V > 1, "a,""b""", V)',
                   stdin="V\nnan\n-inf\n inf\n3\n1\n")
        self.assertEqual(cells(done.stdout)[1:], [
            ["nan", "", "nan!", 'a,"b"'], ["-inf", "", "-inf!", 'a,"b"'], [" inf", "", " inf!", 'a,"b"'],
            ["3", "6", "3!", 'a,"b"'], ["1", "2", "1!", "1"]])
        self.assertEqual(done.stderr.splitlines(), [
            "qvcalc: 'V * 2': 3 of 5 rows failed",
            "  error 13 in 3 rows, the first row 1: V is NaN: 'nan'"])
        done = run("--csv", "-", "V * 2", stdin="V\n3\n-inf\n")
        self.assertIn("the first row 2: V is infinite: '-inf'", done.stderr)

    def test_standard_input_round_trip_and_threads(self):
        generator = random.Random(7)
        values = [generator.uniform(-1e6, 1e6) * 10 ** generator.randint(-30, 30) for _ in range(20000)]
        table = "v,w\n" + "".join(f"{v!r},{i}\n" for i, v in enumerate(values))
        outputs = [run("--csv", "-", *threads, "v", "v * 3 + w", "w MOD 2", stdin=table)
                   for threads in ([], ["--threads", "1"], ["--threads", "2"])]
        for done in outputs:
            self.assertEqual((done.returncode, done.stderr), (0, ""))
            self.assertEqual(done.stdout, outputs[0].stdout)
        rows = cells(outputs[0].stdout)[1:]
        self.assertEqual(len(rows), len(values))
        for i, (row, v) in enumerate(zip(rows, values)):
            self.assertEqual((float(row[2]), float(row[3]), row[4]), (v, v * 3 + i, str(i % 2)))

    def test_strict_names_setup_options_and_unreadable_input(self):
        table = "A,b c,a\n1,2,3\n"
        # -v and -f run first; a column wins over a variable of its name; a header that is not a
        # name, or repeats one, is no variable; a name no column gives fails unless lenient.
        done = run("-v", "A=100", "-v", "K=10", "-f", "Twice(P) = 2 * P", "--csv", "-",
                   "Twice(A) + K", "c", stdin=table)
        self.assertEqual(done.returncode, 1)
        self.assertEqual(done.stdout, "A,b c,a,Twice(A) + K,c\n1,2,3,12,\n")
        self.assertIn("column 3 repeats the name a", done.stderr)
        self.assertIn("error 3: Undefined variable: c", done.stderr)
        self.assertEqual(run("--lenient", "--csv", "-", "c", stdin=table).stdout, "A,b c,a,c\n1,2,3,0\n")
        for stdin, args, message in (
                ("", ["--csv", "/nonexistent.csv", "1"], "cannot read '/nonexistent.csv'"),
                ("", ["--csv", "-", "1"], "no header row"),
                ("a,b\n1,\"2\n", ["--csv", "-", "a"], "a quoted cell is not closed"),
                ("a,b\n1,2\n3,4\n5,6,7\n", ["--csv", "-", "a"], "row 3 has 3 cells, the header 2"),
                ('a,b\n1\n"x"y\n', ["--csv", "-", "a"], "row 1 has 1 cells, the header 2"),  # not the quote after it
                ('a\n1\n2"\n', ["--csv", "-", "a"], "line 3: a quote out of place"),
                ("a\n1\n", ["--csv", "-"], "--csv needs at least one expression"),
                ("a\n1\n", ["--threads", "x", "--csv", "-", "a"], "--threads expects")):
            done = run(*args, stdin=stdin)
            self.assertEqual((done.returncode, done.stdout), (2, ""), args)
            self.assertIn(message, done.stderr)

    def test_a_table_larger_than_a_block_reads_like_a_small_one(self):
        # Over a million cells: the file is read, evaluated and written in several blocks; rows
        # are counted across them and a quoted cell may span a block's end.
        count = 600_000
        rows = [f"{i},{i % 7}" for i in range(1, count + 1)]
        rows[6] = '7,n/a'
        rows[550_000] = '550001,"a\nb"'
        done = run("--csv", "-", "N * 2 + T", "LEN(T)", stdin="N,T\n" + "\n".join(rows) + "\n")
        self.assertEqual(done.returncode, 1)
        self.assertEqual(done.stderr.splitlines(), [
            f"qvcalc: 'N * 2 + T': 2 of {count} rows failed",
            "  error 13 in 2 rows, the first row 7: T is not a number: 'n/a'"])
        lines = done.stdout.split("\n")
        self.assertEqual(len(lines), count + 3)  # the header, the cell's line break, the last end
        self.assertEqual(lines[:2], ["N,T,N * 2 + T,LEN(T)", "1,1,3,1"])
        self.assertEqual(lines[7], "7,n/a,,3")
        self.assertEqual(lines[550_001:550_004], ['550001,"a', 'b",,3', "550002,5,1100009,1"])
        self.assertEqual(lines[-2], f"{count},{count % 7},{2 * count + count % 7},1")

    @unittest.skipIf(os.environ.get("QV_SANITIZED"), "a sanitizer's own memory would be counted")
    def test_memory_stays_bounded_for_a_large_table(self):
        # 48 MB through a pipe, a text column copied through: the calculator's peak resident
        # memory (read by a child interpreter, whose only child it is) stays below the bound (a
        # whole table in memory took 2.6 times the file's size).
        script = f"""
import resource, subprocess, sys
chunk = "".join(f"{{i}}.25,row {{i}},{{i % 3}}\\n" for i in range(40000)).encode()
process = subprocess.Popen([{QVCALC!r}, "--csv", "-", "X * Z + 1", "Z / 2"],
                           stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)
process.stdin.write(b"X,T,Z\\n")
written = 0
while written < 48 << 20:
    process.stdin.write(chunk)
    written += len(chunk)
process.stdin.close()
assert process.wait() == 0
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
"""
        done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=300)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertLess(int(done.stdout) * 1024, 96 << 20)

    def test_progress_bar_only_on_a_terminal_and_for_large_input(self):
        path = csv_file("x\n" + "1234.5678\n" * 1000000)
        primary, secondary = pty.openpty()
        try:
            process = subprocess.Popen([QVCALC, "--csv", path, "x * 2"], stdout=subprocess.PIPE,
                                       stderr=secondary)
            os.close(secondary)
            out, _ = process.communicate(timeout=60)
            shown = b""
            while select.select([primary], [], [], 0.2)[0]:
                try:
                    chunk = os.read(primary, 65536)
                except OSError:
                    break
                if not chunk:
                    break
                shown += chunk
            piped = run("--csv", path, "x * 2")
        finally:
            os.close(primary)
            os.unlink(path)
        self.assertEqual(process.returncode, 0)
        self.assertIn(b"evaluating [", shown)
        self.assertTrue(shown.endswith(b"\r\x1b[K"))  # erased when done
        self.assertEqual(piped.stderr, "")
        self.assertEqual(out.decode(), piped.stdout)
        self.assertEqual(out.count(b",2469.1356\n"), 1000000)


class Completion(unittest.TestCase):
    def test_bash_completion_offers_options_and_files(self):
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "qvcalc.bash-completion")
        with tempfile.TemporaryDirectory() as folder:
            open(os.path.join(folder, "table.csv"), "w").close()
            shell = ('source "$1"; complete -p qvcalc; '
                     'COMP_WORDS=(qvcalc --cs); COMP_CWORD=1; _qvcalc; echo "${COMPREPLY[*]}"; '
                     'COMP_WORDS=(qvcalc --csv "$2/ta"); COMP_CWORD=2; _qvcalc; echo "${COMPREPLY[*]}"; '
                     'COMP_WORDS=(qvcalc -v X); COMP_CWORD=2; _qvcalc; echo "${#COMPREPLY[@]}"')
            done = subprocess.run(["bash", "-c", shell, "bash", script, folder], capture_output=True, text=True)
        self.assertEqual(done.stdout.splitlines(),
                         ["complete -F _qvcalc qvcalc", "--csv", os.path.join(folder, "table.csv"), "0"], done.stderr)


class Interactive(unittest.TestCase):
    """Scripted sessions on a pseudo-terminal, so readline and the history file are used."""

    def read_until(self, fd, marker, timeout=10):
        seen = b""
        deadline = time.time() + timeout
        while marker not in seen and time.time() < deadline:
            ready, _, _ = select.select([fd], [], [], 0.2)
            if ready:
                try:
                    chunk = os.read(fd, 4096)
                except OSError:
                    break
                if not chunk:
                    break
                seen += chunk
        return seen

    def session(self, home, stdout=None):
        """The calculator in a session of its own whose controlling terminal is the pty, so that
        Ctrl-C reaches it as a signal."""
        primary, secondary = pty.openpty()
        env = dict(os.environ, HOME=home, TERM="dumb")
        process = subprocess.Popen([QVCALC], stdin=secondary, stdout=stdout or secondary,
                                   stderr=secondary, env=env, close_fds=True, start_new_session=True,
                                   preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY, 0))
        os.close(secondary)
        return primary, process

    def converse(self, primary, process, inputs):
        """Writes each input and reads up to what should follow it (the next prompt unless given
        as a pair); then :quit."""
        transcript = self.read_until(primary, b"qv> ")
        for data in inputs:
            data, marker = data if isinstance(data, tuple) else (data, b"qv> ")
            os.write(primary, data)
            transcript += self.read_until(primary, marker)
        os.write(primary, b":quit\n")
        process.wait(timeout=10)
        transcript += self.read_until(primary, b"\0", timeout=0.5)
        return transcript.decode(errors="replace")

    def test_session_with_history(self):
        with tempfile.TemporaryDirectory() as home:
            primary, process = self.session(home)
            try:
                history = os.path.join(home, ".qvcalc_history")
                lines = [b":let R = 3\n", b"R * 2\n", b"ANS + 1\n", b"1 +\n", b":funcs\n"]
                text = self.converse(primary, process, lines)
            finally:
                if process.poll() is None:
                    process.kill()
                os.close(primary)
            self.assertIn("6", text)
            self.assertIn("7", text)
            self.assertIn("error 1: Syntax Error: Unexpected end of expression", text)
            self.assertEqual(process.returncode, 1)  # one expression failed
            with open(history) as saved:
                self.assertIn("R * 2", saved.read())

    def test_completion_interrupt_paste_and_history_at_once(self):
        with tempfile.TemporaryDirectory() as home:
            primary, process = self.session(home)
            history = os.path.join(home, ".qvcalc_history")
            try:
                text = self.converse(primary, process, [
                    b":let Rate = 2\n",
                    b"SQ\t16)\n",          # SQR( completed
                    b"ra\t * 3\n",         # Rate, whatever the case typed
                    (b"1 + 2", b"2"),       # typed, then Ctrl-C drops it; the session goes on
                    b"\x03",
                    b"50 - 1\n",
                    b"10+1\n20+2\n",       # pasted: two lines, two results
                ])
                with open(history) as saved:
                    kept = saved.read()
            finally:
                if process.poll() is None:
                    process.kill()
                os.close(primary)
            results = [line.strip() for line in text.replace("qv> ", "\n").splitlines()]
            for result in ("4", "6", "49", "11", "22"):
                self.assertIn(result, results, text)
            self.assertNotIn("3", results)  # the abandoned 1 + 2
            self.assertIn("Rate * 3", kept)  # written line by line, before the session ended
            self.assertIn("20+2", kept)
            self.assertEqual(process.returncode, 0, text)

    def test_no_prompt_when_standard_output_is_not_a_terminal(self):
        with tempfile.TemporaryDirectory() as home:
            primary, process = self.session(home, stdout=subprocess.PIPE)
            try:
                os.write(primary, b"1+1\n\x04")
                out, _ = process.communicate(timeout=10)
            finally:
                if process.poll() is None:
                    process.kill()
                os.close(primary)
            self.assertEqual(out, b"2\n")


if __name__ == "__main__":
    unittest.main(verbosity=2)
