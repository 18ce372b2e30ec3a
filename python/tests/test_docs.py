"""The Python examples of docs/python.md, and the README's Python session, give what they show."""

import doctest
import os
import re

HERE = os.path.join(os.path.dirname(__file__), "..", "..")


def run_examples(path, at_least):
    with open(path, encoding="utf-8") as page:
        blocks = re.findall(r"```python\n(>>> .*?)```", page.read(), re.S)
    examples = "\n".join(blocks)  # one session: each block goes on from the one before
    test = doctest.DocTestParser().get_doctest(examples, {}, os.path.basename(path), path, 0)
    assert len(test.examples) >= at_least
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    runner.run(test)
    assert runner.summarize(verbose=False).failed == 0


def test_examples_of_the_python_page():
    run_examples(os.path.join(HERE, "docs", "python.md"), 20)


def test_the_readme_python_session():
    run_examples(os.path.join(HERE, "README.md"), 6)
