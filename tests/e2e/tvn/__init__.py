"""The helpers of the end-to-end tests, by subject; tests/e2e/tvnlib.py gathers them under one name."""
