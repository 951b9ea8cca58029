// Drop tests.
