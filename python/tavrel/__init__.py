"""Frequent closed patterns of order relations, mined from sequences.

Each sequence (a visit's pages, a case's events, a sentence's words) is a
list of labels. An edge ``(a, b)`` says that label ``a`` stands before
label ``b``; a pattern is a set of edges, and its support is the number of
sequences that hold all of its edges. :func:`mine` finds every pattern
that at least ``min_sup`` sequences hold and that no further edge joins
without losing support::

    >>> import tavrel
    >>> visits = [["home", "news", "sport"], ["home", "sport"], ["news", "home", "sport"]]
    >>> result = tavrel.mine(visits, 2)
    >>> for pattern in result:
    ...     print(pattern.number, pattern.support, pattern.edges)
    1 3 [('home', 'sport')]
    2 2 [('home', 'sport'), ('news', 'sport')]
    >>> result.to_pandas()  # doctest: +SKIP

:func:`mine_file` mines a spec file as the command line ``Tavrel.exe``
does, and :func:`read_output` reads the command line's output back into
the same :class:`Result`. :func:`iter_mine` and :func:`iter_mine_file`
hand the patterns over in batches, for runs too large to hold.
"""

from ._batches import iter_mine, iter_mine_file
from ._events import EventSequences, from_events, mine_events, read_xes
from ._mining import Interrupted, mine, mine_file, read_output
from ._result import Label, Pattern, Result
from ._tavrel import __version__

__all__ = [
    "EventSequences",
    "Interrupted",
    "Label",
    "Pattern",
    "Result",
    "from_events",
    "iter_mine",
    "iter_mine_file",
    "mine",
    "mine_events",
    "mine_file",
    "read_output",
    "read_xes",
]
