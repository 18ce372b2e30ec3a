"""The Python examples of docs/python.md give what the page shows."""

import doctest
import os
import re

PAGE = os.path.join(os.path.dirname(__file__), "..", "..", "docs", "python.md")


def test_examples_of_the_python_page():
    with open(PAGE, encoding="utf-8") as page:
        blocks = re.findall(r"```python\n(.*?)```", page.read(), re.S)
    examples = "\n".join(blocks)  # one session: each block goes on from the one before
    test = doctest.DocTestParser().get_doctest(examples, {}, "docs/python.md", PAGE, 0)
    assert len(test.examples) > 20
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    runner.run(test)
    assert runner.summarize(verbose=False).failed == 0
