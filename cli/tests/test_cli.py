"""Runs the qvcalc binary: one-shot arguments, pipe mode, errors and exit codes, and an
interactive session on a pseudo-terminal.

Usage: test_cli.py PATH/TO/qvcalc
"""
import os
import pty
import select
import subprocess
import sys
import tempfile
import time
import unittest

QVCALC = sys.argv.pop(1) if len(sys.argv) > 1 else "qvcalc"


def run(*args, stdin=""):
    return subprocess.run([QVCALC, *args], input=stdin, capture_output=True, text=True, timeout=30)


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

    def test_help_and_version(self):
        self.assertIn("Usage: qvcalc", run("--help").stdout)
        self.assertEqual(run("-h").returncode, 0)
        self.assertRegex(run("--version").stdout, r"^qvcalc \d+\.\d+\.\d+\n$")


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
        done = run("--", "-v")
        self.assertEqual(done.returncode, 0)
        self.assertEqual(done.stdout, "0\n")  # the variable v, created with 0


class Pipe(unittest.TestCase):
    def test_one_result_a_line_skipping_blanks_and_comments(self):
        done = run(stdin="1+1\n\n   \n' a comment\nANS * 10 ' tenfold\r\n:let Q = 5\nQ + ANS\n")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stdout.splitlines(), ["2", "20", "25"])

    def test_errors_name_the_line_and_set_the_status(self):
        done = run(stdin="1\nFOO(1)\n3\n")
        self.assertEqual(done.returncode, 1)
        self.assertEqual(done.stdout.splitlines(), ["1", "3"])
        self.assertEqual(done.stderr.splitlines()[0], "qvcalc: line 2: error 2: Unknown function: FOO")

    def test_commands_in_a_pipe(self):
        script = ":def Sq(X) = X * X\n:array A(2)\n:funcs\nSq(3)\n:exprs\n:rpn 1-2\n:reset\n:vars\n:bogus\n"
        done = run(stdin=script)
        self.assertEqual(done.stdout.splitlines(), ["Sq(X) = X * X", "9", "1: Sq(3)", "rpn: 1 2 -"])
        self.assertEqual(done.returncode, 1)  # the unknown command
        self.assertIn("unknown command :bogus", done.stderr)

    def test_rpn_without_a_listing_still_evaluates(self):
        done = run("--rpn", stdin=":array A(3)\nA(1) + 2\n")
        self.assertEqual(done.stdout, "2\n")  # array elements start at 0
        self.assertIn("line 2: no listing", done.stderr)
        self.assertEqual(done.returncode, 0)

    def test_quit_stops_reading(self):
        done = run(stdin="1\n:quit\n2\n")
        self.assertEqual(done.stdout, "1\n")


class Interactive(unittest.TestCase):
    """A scripted session on a pseudo-terminal, so readline and the history file are used."""

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

    def test_session_with_history(self):
        with tempfile.TemporaryDirectory() as home:
            primary, secondary = pty.openpty()
            env = dict(os.environ, HOME=home, TERM="dumb")
            process = subprocess.Popen([QVCALC], stdin=secondary, stdout=secondary, stderr=secondary,
                                       env=env, close_fds=True)
            os.close(secondary)
            try:
                transcript = self.read_until(primary, b"qv> ")
                for line in (b":let R = 3", b"R * 2", b"ANS + 1", b"1 +", b":funcs"):
                    os.write(primary, line + b"\n")
                    transcript += self.read_until(primary, b"qv> ")  # the next prompt
                os.write(primary, b":quit\n")
                process.wait(timeout=10)
                transcript += self.read_until(primary, b"\0", timeout=0.5)
            finally:
                if process.poll() is None:
                    process.kill()
                os.close(primary)
            text = transcript.decode(errors="replace")
            self.assertIn("6", text)
            self.assertIn("7", text)
            self.assertIn("error 1: Syntax Error: Unexpected end of expression", text)
            self.assertEqual(process.returncode, 1)  # one expression failed
            with open(os.path.join(home, ".qvcalc_history")) as history:
                self.assertIn("R * 2", history.read())


if __name__ == "__main__":
    unittest.main(verbosity=2)
